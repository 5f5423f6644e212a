// The translation unit the shared precompiled GoogleTest header is built for; it has no code.
