// The embedded-resource table. Entries are registered at start-up on the main thread and never removed.
#include "platform/embedded.h"

#include <memory>

namespace {

struct EmbeddedEntry {
    std::string name;
    const uint8_t* data;
    int size;
    std::unique_ptr<EmbeddedEntry> succ;
};

// Singly linked, in registration order. Function-local so that registration from another
// translation unit's static initialisation finds the table ready.
std::unique_ptr<EmbeddedEntry>& TableHead() {
    static std::unique_ptr<EmbeddedEntry> head;
    return head;
}

const EmbeddedEntry* FindEntry(const std::string& name) {
    for (const EmbeddedEntry* e = TableHead().get(); e; e = e->succ.get()) {
        if (e->name == name) return e;
    }
    return nullptr;
}

} // namespace

int RegisterEmbeddedResource(const std::string& name, const void* data, int size) {
    if (size < 0 || (!data && size > 0)) return 0;
    std::unique_ptr<EmbeddedEntry>* link = &TableHead();
    while (*link) {
        if ((*link)->name == name) return 0;
        link = &(*link)->succ;
    }
    *link = std::make_unique<EmbeddedEntry>(
        EmbeddedEntry{name, static_cast<const uint8_t*>(data), size, nullptr});
    return 1;
}

const uint8_t* EmbeddedResourceData(const std::string& name) {
    const EmbeddedEntry* e = FindEntry(name);
    return e ? e->data : nullptr;
}

int EmbeddedResourceSize(const std::string& name) {
    const EmbeddedEntry* e = FindEntry(name);
    return e ? e->size : 0;
}
