#pragma once
// The body of one patch run.

struct PatchEngine;

// Runs one update of engine.installFolder on the calling thread (the engine's run thread):
// manifest, launcher self-update in launcher mode, then the file phases. Every way it ends
// is reported through the engine's stage and error text.
void RunPatch(PatchEngine& engine, bool fullVerify);
