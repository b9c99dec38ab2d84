// Compiles the shared precompiled header once; the other targets reuse it.
