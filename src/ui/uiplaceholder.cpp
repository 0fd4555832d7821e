// Placeholder translation unit so that the library exists before its first screen.
