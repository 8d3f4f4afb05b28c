// The embedded-resource table: resources compiled into the program, looked up by exact name.
#pragma once

#include <cstdint>
#include <string>

// Adds an entry over bytes that must live as long as the program (they are not copied).
// Returns 1, or 0 when the name is already present (the first registration wins) or the block is
// invalid (negative size, or no data for a positive size).
int RegisterEmbeddedResource(const std::string& name, const void* data, int size);

// Exact, case-sensitive match on the whole name; null and 0 when there is no such entry.
const uint8_t* EmbeddedResourceData(const std::string& name);
int EmbeddedResourceSize(const std::string& name);
