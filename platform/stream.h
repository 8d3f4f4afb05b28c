// Byte streams: the raw TIO operations, typed little-endian reads and writes, file and memory streams,
// and the protocol factories behind OpenStream ("incbin::name" opens an embedded resource).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Every stream failure derives from this, so a caller that treats any stream error as "no data"
// (the pixmap loader chain) catches one type.
class TStreamException : public std::runtime_error {
public:
    explicit TStreamException(const std::string& text)
        : std::runtime_error(text) {}
};

// A Read that transferred nothing before the end of data: "Error reading from stream".
class TStreamReadException : public TStreamException {
public:
    TStreamReadException()
        : TStreamException("Error reading from stream") {}
};

// A Write that transferred nothing: "Error writing to stream".
class TStreamWriteException : public TStreamException {
public:
    TStreamWriteException()
        : TStreamException("Error writing to stream") {}
};

// Raw operations. Positions and sizes are 32-bit byte counts; Pos() of -1 means the stream cannot seek.
class TIO {
public:
    virtual ~TIO() = default;

    virtual int Eof();
    virtual int Pos();
    virtual int Size();
    virtual int Seek(int pos);
    virtual int Flush();
    virtual int Close();
    // Transfer up to count bytes; return how many were transferred (0 at the end of data).
    virtual int Read(void* buffer, int count);
    virtual int Write(const void* buffer, int count);
};

// Typed operations over the raw ones. Multi-byte values are little-endian whatever the host order.
class TStream : public TIO {
public:
    // Reads until count bytes arrived or Eof(); bytes beyond the end of data are zeroed.
    // Returns count even when the end cut it short.
    virtual int ReadBytes(void* buffer, int count);
    virtual int WriteBytes(const void* buffer, int count);
    virtual int SkipBytes(int count);

    virtual uint8_t ReadByte();
    virtual void WriteByte(uint8_t value);
    virtual uint16_t ReadShort();
    virtual void WriteShort(uint16_t value);
    virtual int32_t ReadInt();
    virtual void WriteInt(int32_t value);
    virtual int64_t ReadLong();
    virtual void WriteLong(int64_t value);
    virtual float ReadFloat();
    virtual void WriteFloat(float value);
    virtual double ReadDouble();
    virtual void WriteDouble(double value);

    // Bytes up to (not including) a byte 10, a byte 0 or the end of data; bytes 13 are dropped.
    virtual std::string ReadLine();
    // The string's bytes then 13, 10; 1 when all were written.
    virtual int WriteLine(const std::string& line);
    virtual std::string ReadString(int length);
    virtual void WriteString(const std::string& text);

    // There is no object serialisation: both always raise.
    virtual void ReadObject();
    virtual void WriteObject();
};

// A file stream over the C library's buffered files.
class TCStream : public TStream {
public:
    enum { MODE_READ = 1, MODE_WRITE = 2 };

    // Backslashes count as separators, and a missing path component is matched case-insensitively
    // against the directory's entries ("Data" finds "data"). Null when the file cannot be opened.
    static std::shared_ptr<TCStream> OpenFile(const std::string& path, int readable, int writeable);
    // Takes ownership of the file. Null for a null file or one larger than a 32-bit size can hold.
    static std::shared_ptr<TCStream> CreateWithCStream(std::FILE* file, int mode);

    ~TCStream() override;

    int Eof() override;
    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    int Flush() override;
    int Close() override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;

private:
    // The C library needs a seek between a read and a following write (or the reverse) on one file.
    enum class LastOp { None, Read, Write };

    int _pos = 0;
    int _size = 0;
    std::FILE* _cstream = nullptr;
    int _mode = 0;
    LastOp _last_op = LastOp::None;
    bool _seekable = true;

    void SwitchDirection(LastOp next);
};

// A stream over a fixed block of memory; it never grows, writes stop at the block's end.
class TRamStream : public TStream {
public:
    // The buffer is not owned and must outlive the stream. Null for a negative size, or a null buffer
    // with a positive size.
    static std::shared_ptr<TRamStream> Create(void* buffer, int size, int readable, int writeable);
    // A stream over its own copy of the bytes (used for streams read whole into memory).
    static std::shared_ptr<TRamStream> CreateOwned(std::vector<uint8_t> bytes, int readable, int writeable);

    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;

private:
    int _pos = 0;
    int _size = 0;
    uint8_t* _buf = nullptr;
    int _read = 0;
    int _write = 0;
    std::vector<uint8_t> _owned;
};

// Forwards every operation to an inner stream; with none it behaves as the base TIO (cannot seek,
// raises on Read and Write).
class TStreamWrapper : public TStream {
public:
    void SetStream(std::shared_ptr<TStream> stream);
    const std::shared_ptr<TStream>& Stream() const { return _stream; }

    int Eof() override;
    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    int Flush() override;
    int Close() override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;

protected:
    std::shared_ptr<TStream> _stream;
};

// What OpenStream returns for a location that already is a stream. Closing it only detaches the
// inner stream, which stays open for its owner.
class TStreamStream : public TStreamWrapper {
public:
    explicit TStreamStream(std::shared_ptr<TStream> stream) { SetStream(std::move(stream)); }
    int Close() override;
};

// One link of the protocol factory list. Constructing a factory puts it at the head of the list, so
// the newest is asked first; destroying it unlinks it.
class TStreamFactory {
public:
    TStreamFactory();
    virtual ~TStreamFactory();
    TStreamFactory(const TStreamFactory&) = delete;
    TStreamFactory& operator=(const TStreamFactory&) = delete;

    // protocol is already lower-cased; path is the part after "::". Null when this factory declines.
    virtual std::shared_ptr<TStream> CreateStream(const std::string& location, const std::string& protocol,
                                                  const std::string& path, int readable, int writeable) = 0;

    TStreamFactory* _succ = nullptr;
};

// "incbin": read-only memory streams over the embedded-resource table. The protocol ignores ASCII
// case, the resource name does not.
class TRamStreamFactory : public TStreamFactory {
public:
    std::shared_ptr<TStream> CreateStream(const std::string& location, const std::string& protocol,
                                          const std::string& path, int readable, int writeable) override;
};

// A plain path opens a file; "protocol::path" is offered to the factories. Null when nothing opens.
std::shared_ptr<TStream> OpenStream(const std::string& location, int readable, int writeable);
// A location that is a stream: a TStreamStream around it (a null stream counts as the empty location).
std::shared_ptr<TStream> OpenStream(const std::shared_ptr<TStream>& stream, int readable, int writeable);

// Both return seekable streams: one that cannot seek is read whole into memory first.
std::shared_ptr<TStream> OpenStreamForRead(const std::string& location);
std::shared_ptr<TStream> OpenStreamForWrite(const std::string& location);

int32_t StreamReadInt(const std::shared_ptr<TStream>& stream);
void StreamWriteInt(const std::shared_ptr<TStream>& stream, int32_t value);
int StreamClose(const std::shared_ptr<TStream>& stream);
