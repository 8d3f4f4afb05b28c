// The game's embedded images and font (assets/), compiled in by the embed_assets build step.
#pragma once

// Registers every file of assets/ with the embedded-resource table under its name relative to
// assets/ with backslashes ("graphx\ovlogo.png"); called once at start-up, before anything opens
// an "incbin::" stream.
void register_embedded_assets();
