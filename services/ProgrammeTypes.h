#pragma once

#include <QString>

// Name of a DAB static programme type code 0..31 (code 0 has an empty name); any other code
// gives "Program Type " + the code.
QString GetProgrammeTypeName(int code);

// Resource name of the genre picture of a programme type: the genre in upper case followed by
// 16 or 32 ("NEWS16", "DEFAULT32"); a size below 32 asks for 16, any other for 32.
QString GetGenreImageName(int code, int size);

// Resource name of the product picture shown when no service is given ("TUNORA16", "TUNORA32").
QString GetProductImageName(int size);
