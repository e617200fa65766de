#pragma once

#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrVector3.h"

#include <string>

// The writing half of CGameDataReader's rules: the header, counted texts
// (an empty string is none) and vectors.
namespace GameDataWriter
{
void Header(CByteWriter* writer, const char* magic);
void Text(CByteWriter* writer, const std::string& text);
void Vec3(CByteWriter* writer, const CkvrVector3& value);
}
