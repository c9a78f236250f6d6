#pragma once
// Takes a decoder through its whole image as the loader would, checking what the
// row-source interface promises on the way.
#include "image/row_source.h"

// True for the results a decoder may give: Ok, InvalidData, OutOfMemory.
bool IsDecoderResult(status::Code hr);

// Reads every row, a few at a time, and converts each to RGBA floats. Stops at the
// first failure, or before a band the loader would refuse for lack of memory.
void DrainRows(image::RowSource& source);
