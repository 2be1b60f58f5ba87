// A stand-in renderer and encoder that does nothing and ends at once: with
// it the converter's own costs (expanding a drop, running programs) are
// measured without any music work.
int main() { return 0; }
