// Byte streams: TIO defaults, typed little-endian operations, file and memory streams, factories.
#include "platform/stream.h"

#include "platform/embedded.h"
#include "platform/filesystem.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <climits>
#include <cstring>
#include <sys/stat.h>

// ---- TIO ----

int TIO::Eof() {
    return Pos() == Size() ? 1 : 0;
}
int TIO::Pos() {
    return -1;
}
int TIO::Size() {
    return 0;
}
int TIO::Seek(int) {
    return -1;
}
int TIO::Flush() {
    return 0;
}
int TIO::Close() {
    return 0;
}
int TIO::Read(void*, int) {
    throw TStreamException("Stream is not readable");
}
int TIO::Write(const void*, int) {
    throw TStreamException("Stream is not writeable");
}

// ---- TStream ----

namespace {

// Little-endian encoding and decoding of unsigned values of N bytes, independent of the host order.
template <typename U> U DecodeLittleEndian(const uint8_t* bytes) {
    U value = 0;
    for (size_t i = 0; i < sizeof(U); ++i) value |= static_cast<U>(static_cast<U>(bytes[i]) << (8 * i));
    return value;
}

template <typename U> void EncodeLittleEndian(U value, uint8_t* bytes) {
    for (size_t i = 0; i < sizeof(U); ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

template <typename U> U ReadUnsigned(TStream& stream) {
    uint8_t bytes[sizeof(U)] = {};
    stream.ReadBytes(bytes, sizeof(U));
    return DecodeLittleEndian<U>(bytes);
}

template <typename U> void WriteUnsigned(TStream& stream, U value) {
    uint8_t bytes[sizeof(U)];
    EncodeLittleEndian<U>(value, bytes);
    stream.WriteBytes(bytes, sizeof(U));
}

// A subclass that reports more than it was asked for must not move the loops past the buffer.
int CheckedTransfer(int transferred, int asked) {
    return std::clamp(transferred, 0, asked);
}

} // namespace

int TStream::ReadBytes(void* buffer, int count) {
    if (count <= 0) return 0;
    uint8_t* p = static_cast<uint8_t*>(buffer);
    int remaining = count;
    while (remaining > 0 && Eof() == 0) {
        const int n = CheckedTransfer(Read(p, remaining), remaining);
        if (n == 0) throw TStreamReadException();
        p += n;
        remaining -= n;
    }
    // The end of data cut the read short: the missing bytes read as 0.
    std::memset(p, 0, static_cast<size_t>(remaining));
    return count;
}

int TStream::WriteBytes(const void* buffer, int count) {
    if (count <= 0) return 0;
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    int remaining = count;
    while (remaining > 0) {
        const int n = CheckedTransfer(Write(p, remaining), remaining);
        if (n == 0) throw TStreamWriteException();
        p += n;
        remaining -= n;
    }
    return count;
}

int TStream::SkipBytes(int count) {
    uint8_t scratch[1024];
    int remaining = count;
    while (remaining > 0) {
        const int n = std::min(remaining, static_cast<int>(sizeof scratch));
        ReadBytes(scratch, n);
        remaining -= n;
    }
    return std::max(count, 0);
}

uint8_t TStream::ReadByte() {
    return ReadUnsigned<uint8_t>(*this);
}
void TStream::WriteByte(uint8_t value) {
    WriteUnsigned<uint8_t>(*this, value);
}
uint16_t TStream::ReadShort() {
    return ReadUnsigned<uint16_t>(*this);
}
void TStream::WriteShort(uint16_t value) {
    WriteUnsigned<uint16_t>(*this, value);
}
int32_t TStream::ReadInt() {
    return static_cast<int32_t>(ReadUnsigned<uint32_t>(*this));
}
void TStream::WriteInt(int32_t value) {
    WriteUnsigned<uint32_t>(*this, static_cast<uint32_t>(value));
}
int64_t TStream::ReadLong() {
    return static_cast<int64_t>(ReadUnsigned<uint64_t>(*this));
}
void TStream::WriteLong(int64_t value) {
    WriteUnsigned<uint64_t>(*this, static_cast<uint64_t>(value));
}
float TStream::ReadFloat() {
    return std::bit_cast<float>(ReadUnsigned<uint32_t>(*this));
}
void TStream::WriteFloat(float value) {
    WriteUnsigned<uint32_t>(*this, std::bit_cast<uint32_t>(value));
}
double TStream::ReadDouble() {
    return std::bit_cast<double>(ReadUnsigned<uint64_t>(*this));
}
void TStream::WriteDouble(double value) {
    WriteUnsigned<uint64_t>(*this, std::bit_cast<uint64_t>(value));
}

std::string TStream::ReadLine() {
    std::string line;
    uint8_t byte = 0;
    while (Read(&byte, 1) > 0 && byte != 0 && byte != 10) {
        if (byte != 13) line += static_cast<char>(byte);
    }
    return line;
}

int TStream::WriteLine(const std::string& line) {
    std::string bytes = line;
    bytes += "\r\n";
    if (bytes.size() > static_cast<size_t>(INT_MAX)) throw TStreamWriteException();
    const int n = static_cast<int>(bytes.size());
    return WriteBytes(bytes.data(), n) == n ? 1 : 0;
}

std::string TStream::ReadString(int length) {
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length), '\0');
    ReadBytes(text.data(), length);
    return text;
}

void TStream::WriteString(const std::string& text) {
    if (text.size() > static_cast<size_t>(INT_MAX)) throw TStreamWriteException();
    WriteBytes(text.data(), static_cast<int>(text.size()));
}

void TStream::ReadObject() {
    throw TStreamException("Unable to read object");
}
void TStream::WriteObject() {
    throw TStreamException("Unable to write object");
}

// ---- TCStream ----

std::shared_ptr<TCStream> TCStream::OpenFile(const std::string& path, int readable, int writeable) {
    const std::string system_path = ResolvePathCase(path);
    if (system_path.empty()) return nullptr;
    const char* fmode = "rb";
    int mode = MODE_READ;
    if (readable && writeable) {
        fmode = "r+b";
        mode = MODE_READ | MODE_WRITE;
    } else if (writeable) {
        fmode = "wb";
        mode = MODE_WRITE;
    }
    std::FILE* file = std::fopen(system_path.c_str(), fmode);
    if (!file) return nullptr;
    // A directory opens for reading here but every read of it fails: it is not a file.
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return CreateWithCStream(file, mode);
}

std::shared_ptr<TCStream> TCStream::CreateWithCStream(std::FILE* file, int mode) {
    if (!file) return nullptr;
    std::shared_ptr<TCStream> stream(new TCStream());
    stream->_cstream = file;
    stream->_mode = mode;
    const long pos = std::ftell(file);
    long size = -1;
    if (pos >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
        std::fseek(file, pos, SEEK_SET);
    }
    if (pos < 0 || size < 0) {
        // A pipe or terminal: no position, no size; OpenStreamForRead copies such streams into memory.
        std::clearerr(file);
        stream->_seekable = false;
        stream->_pos = -1;
        stream->_size = 0;
        return stream;
    }
    if (size > INT_MAX) {
        // Positions are 32-bit: a larger file cannot be addressed. The stream owns the file now.
        stream->Close();
        return nullptr;
    }
    stream->_pos = static_cast<int>(pos);
    stream->_size = static_cast<int>(size);
    return stream;
}

TCStream::~TCStream() {
    Close();
}

// At or beyond the known size counts as the end, so reading after a Seek past the end yields zeros
// like any other read past the end instead of a read error.
int TCStream::Eof() {
    if (!_seekable) return (_cstream && !std::feof(_cstream)) ? 0 : 1;
    return _pos >= _size ? 1 : 0;
}

int TCStream::Pos() {
    return _pos;
}
int TCStream::Size() {
    return _size;
}

int TCStream::Seek(int pos) {
    if (!_cstream || !_seekable) return -1;
    std::fseek(_cstream, pos, SEEK_SET);
    const long now = std::ftell(_cstream);
    if (now >= 0 && now <= INT_MAX) _pos = static_cast<int>(now);
    _last_op = LastOp::None;
    return _pos;
}

int TCStream::Flush() {
    if (_cstream) std::fflush(_cstream);
    return 0;
}

int TCStream::Close() {
    if (!_cstream) return 0;
    std::fflush(_cstream);
    std::fclose(_cstream);
    _cstream = nullptr;
    _pos = 0;
    _size = 0;
    return 0;
}

void TCStream::SwitchDirection(LastOp next) {
    if (_seekable && _last_op != LastOp::None && _last_op != next) std::fseek(_cstream, 0, SEEK_CUR);
    _last_op = next;
}

int TCStream::Read(void* buffer, int count) {
    if (!_cstream || count <= 0) return 0;
    // Positions stay within 32 bits.
    if (_seekable) count = std::min(count, INT_MAX - _pos);
    if (count <= 0) return 0;
    SwitchDirection(LastOp::Read);
    const int n = static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(count), _cstream));
    if (_seekable) _pos += n;
    return n;
}

int TCStream::Write(const void* buffer, int count) {
    if (!_cstream || count <= 0) return 0;
    if (_seekable) count = std::min(count, INT_MAX - _pos);
    if (count <= 0) return 0;
    SwitchDirection(LastOp::Write);
    const int n = static_cast<int>(std::fwrite(buffer, 1, static_cast<size_t>(count), _cstream));
    if (_seekable) {
        _pos += n;
        _size = std::max(_size, _pos);
    }
    return n;
}

// ---- TRamStream ----

std::shared_ptr<TRamStream> TRamStream::Create(void* buffer, int size, int readable, int writeable) {
    if (size < 0 || (!buffer && size > 0)) return nullptr;
    std::shared_ptr<TRamStream> stream(new TRamStream());
    stream->_buf = static_cast<uint8_t*>(buffer);
    stream->_size = size;
    stream->_read = readable ? 1 : 0;
    stream->_write = writeable ? 1 : 0;
    return stream;
}

std::shared_ptr<TRamStream> TRamStream::CreateOwned(std::vector<uint8_t> bytes, int readable, int writeable) {
    if (bytes.size() > static_cast<size_t>(INT_MAX)) return nullptr;
    std::shared_ptr<TRamStream> stream(new TRamStream());
    stream->_owned = std::move(bytes);
    stream->_buf = stream->_owned.data();
    stream->_size = static_cast<int>(stream->_owned.size());
    stream->_read = readable ? 1 : 0;
    stream->_write = writeable ? 1 : 0;
    return stream;
}

int TRamStream::Pos() {
    return _pos;
}
int TRamStream::Size() {
    return _size;
}

int TRamStream::Seek(int pos) {
    _pos = std::clamp(pos, 0, _size);
    return _pos;
}

int TRamStream::Read(void* buffer, int count) {
    if (!_read || count <= 0) return 0;
    const int n = std::min(count, _size - _pos);
    if (n <= 0) return 0;
    std::memcpy(buffer, _buf + _pos, static_cast<size_t>(n));
    _pos += n;
    return n;
}

int TRamStream::Write(const void* buffer, int count) {
    if (!_write || count <= 0) return 0;
    const int n = std::min(count, _size - _pos);
    if (n <= 0) return 0;
    std::memcpy(_buf + _pos, buffer, static_cast<size_t>(n));
    _pos += n;
    return n;
}

// ---- TStreamWrapper, TStreamStream ----

void TStreamWrapper::SetStream(std::shared_ptr<TStream> stream) {
    _stream = std::move(stream);
}

int TStreamWrapper::Eof() {
    return _stream ? _stream->Eof() : TStream::Eof();
}
int TStreamWrapper::Pos() {
    return _stream ? _stream->Pos() : TStream::Pos();
}
int TStreamWrapper::Size() {
    return _stream ? _stream->Size() : TStream::Size();
}
int TStreamWrapper::Seek(int pos) {
    return _stream ? _stream->Seek(pos) : TStream::Seek(pos);
}
int TStreamWrapper::Flush() {
    return _stream ? _stream->Flush() : TStream::Flush();
}
int TStreamWrapper::Close() {
    return _stream ? _stream->Close() : TStream::Close();
}

int TStreamWrapper::Read(void* buffer, int count) {
    return _stream ? _stream->Read(buffer, count) : TStream::Read(buffer, count);
}

int TStreamWrapper::Write(const void* buffer, int count) {
    return _stream ? _stream->Write(buffer, count) : TStream::Write(buffer, count);
}

int TStreamStream::Close() {
    _stream.reset();
    return 0;
}

// ---- Factories ----

namespace {

// Plain pointer, constant-initialised, so factories constructed during static initialisation of
// any translation unit find a valid (empty) list.
TStreamFactory* g_stream_factories = nullptr;

// The factory for "incbin", present from start-up.
TRamStreamFactory g_incbin_factory;

std::string AsciiLowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

} // namespace

TStreamFactory::TStreamFactory()
    : _succ(g_stream_factories) {
    g_stream_factories = this;
}

TStreamFactory::~TStreamFactory() {
    for (TStreamFactory** link = &g_stream_factories; *link; link = &(*link)->_succ) {
        if (*link == this) {
            *link = _succ;
            break;
        }
    }
}

std::shared_ptr<TStream> TRamStreamFactory::CreateStream(const std::string&, const std::string& protocol,
                                                         const std::string& path, int readable,
                                                         int writeable) {
    if (protocol != "incbin" || writeable) return nullptr;
    const uint8_t* data = EmbeddedResourceData(path);
    if (!data) return nullptr;
    // The embedded bytes are read-only; the stream is created without write permission, so the
    // const-removal never leads to a write.
    return TRamStream::Create(const_cast<uint8_t*>(data), EmbeddedResourceSize(path), readable, 0);
}

std::shared_ptr<TStream> OpenStream(const std::string& location, int readable, int writeable) {
    std::string protocol;
    std::string path;
    if (!location.empty()) {
        const size_t sep = location.find("::");
        if (sep == std::string::npos) return TCStream::OpenFile(location, readable, writeable);
        protocol = AsciiLowerCase(location.substr(0, sep));
        path = location.substr(sep + 2);
    }
    for (TStreamFactory* f = g_stream_factories; f; f = f->_succ) {
        if (std::shared_ptr<TStream> stream =
                f->CreateStream(location, protocol, path, readable, writeable)) {
            return stream;
        }
    }
    return nullptr;
}

std::shared_ptr<TStream> OpenStream(const std::shared_ptr<TStream>& stream, int readable, int writeable) {
    if (!stream) return OpenStream(std::string(), readable, writeable);
    return std::make_shared<TStreamStream>(stream);
}

std::shared_ptr<TStream> OpenStreamForRead(const std::string& location) {
    std::shared_ptr<TStream> stream = OpenStream(location, 1, 0);
    if (!stream || stream->Pos() != -1) return stream;

    // Cannot seek: copy the rest of the data into memory, as far as a 32-bit size reaches.
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        const int n = CheckedTransfer(stream->Read(chunk, sizeof chunk), sizeof chunk);
        if (n == 0) break;
        if (bytes.size() + static_cast<size_t>(n) > static_cast<size_t>(INT_MAX)) {
            stream->Close();
            return nullptr;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    stream->Close();
    return TRamStream::CreateOwned(std::move(bytes), 1, 0);
}

std::shared_ptr<TStream> OpenStreamForWrite(const std::string& location) {
    return OpenStream(location, 0, 1);
}

int32_t StreamReadInt(const std::shared_ptr<TStream>& stream) {
    assert(stream && "StreamReadInt needs an open stream");
    return stream->ReadInt();
}

void StreamWriteInt(const std::shared_ptr<TStream>& stream, int32_t value) {
    assert(stream && "StreamWriteInt needs an open stream");
    stream->WriteInt(value);
}

int StreamClose(const std::shared_ptr<TStream>& stream) {
    assert(stream && "StreamClose needs an open stream");
    return stream->Close();
}
