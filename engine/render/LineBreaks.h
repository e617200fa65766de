#pragma once

// Where text set in a box starts its lines. Latin text breaks at spaces,
// Japanese between any two characters: a Latin word (a run of printable
// single-byte characters other than the space) that would pass the box's
// edge or its bytes per line goes whole onto the next line, unless the line
// holds nothing yet; a word longer than a whole line still breaks where the
// line is full. A space where a line breaks is not drawn. "\r" takes no
// room but ends a word as a space does, and a line feed (a single byte: after
// a lead byte it is the second byte of a character) ends a line. Every line
// but the first starts at a listed break, so a text has one line more than
// it has breaks.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// The box, in the units the widths come in.
struct LineBox
{
    float x = 0.0f;          // where the first line's pen starts
    float lineStartX = 0.0f; // where every later line starts
    float wrapX = 0.0f;      // the edge a character may not pass; 0 or less: none
    uint32_t maxBytes = 0;   // the bytes a line holds; 0: no limit
};

// A new line at byte offset at; drops: the character there is not drawn
// (the space a line wraps at, or the line feed that ends a line).
struct LineBreak
{
    size_t at = 0;
    bool drops = false;
};

// The drawn width of one Shift-JIS character of length bytes; negative when
// it can't be measured.
using CharWidth = std::function<float(const char* character, size_t length)>;

// The breaks of text in the box, in order. False when a character can't be
// measured.
bool FindLineBreaks(const char* text, const LineBox& box, const CharWidth& widthOf, std::vector<LineBreak>* breaks);
