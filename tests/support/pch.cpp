// Holds the precompiled Qt headers that the test executables reuse.
