#pragma once

#include <QImage>
#include <QtGlobal>

// The luma of a JPEG straight from its coefficients, at 1/4 or 1/8 of its
// stored size: each 8 × 8 block of the Y component gives 2 × 2 pixels (the
// means of its quarters, from its four lowest frequencies) or one (its mean).
// No colour, no full inverse transform: what is left is the entropy decoding,
// which every coefficient of every component must go through.
//
// Entropy decoding runs from the start of the scan to its end; without
// restart markers nothing in the stream says where a block begins. With
// `threads` > 1 the scan is cut into as many byte ranges, and every range but
// the first is decoded from its first bit as if a row of blocks began there.
// Huffman codes fall into step with the true decoding after a few blocks. The
// range before runs on past its end until it reaches a block the next range
// also began at the same bit: from there the two decode alike, but for the
// running DC value, which differs by one offset that the meeting block gives.
// Where no such block is found, the range before decodes on to the end. The
// result does not depend on `threads`.
//
// Format_Grayscale8, in the stored orientation, ceil(width / denominator) by
// ceil(height / denominator). Null when `denominator` is not 4 or 8, and for
// anything but an 8-bit baseline or extended sequential Huffman JPEG of one
// interleaved scan, in grey or YCbCr, without restart intervals, with a full
// resolution Y component (progressive, arithmetic, lossless, RGB, CMYK,
// several scans), and when the scan is damaged or cut short: such files are
// for the general decoder.
QImage decodeJpegLuma(const uchar *bytes, qint64 length, int denominator, int threads);
