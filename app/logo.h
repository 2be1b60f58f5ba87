// The converter's logo: the picture carried in the program's data, decoded
// into image 0 and shown by image gadget 0 in the top 168 x 136 pixels of
// the current gadget list (the main window), above the status bar.
#pragma once

// Once, at start-up, after the main window is open and the PNG decoder is
// registered. Nothing is checked: without a picture the gadget shows none.
void show_logo();
