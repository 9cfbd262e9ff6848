// How the image pipeline names its temporary files. Pure code, kept apart
// from the Windows code so that it builds and is tested on any platform.
#ifndef FLASHWIZARD_TEMPFILENAME_H
#define FLASHWIZARD_TEMPFILENAME_H

#include <string>

// How many names MakeTempFileName draws before it gives up. Each draw costs
// one attribute query. Of the 32,768 names the generator can give, a
// directory would need about 99 % taken for 1,000 draws in a row to fail by
// chance ((k / 32768)^1000 with k names taken: 0.99^1000 = 4e-5), and
// at that point the directory is broken for every program; 1,000 queries
// still take well under a second.
constexpr int kMaxTempNameDraws = 1000;

// The name of a temporary file for one draw of the random generator:
// "%s%04x.%s" with "res", draw modulo 65,536 and "tmp", e.g. "res0029.tmp".
// Any thread.
std::wstring FormatTempFileName(int draw);

#endif  // FLASHWIZARD_TEMPFILENAME_H
