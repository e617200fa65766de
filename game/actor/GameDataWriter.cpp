#include "game/actor/GameDataWriter.h"

namespace GameDataWriter
{
void Header(CByteWriter* writer, const char* magic)
{
    writer->Bytes(magic, 4);
    writer->U16(1);
    writer->U16(0);
}

void Text(CByteWriter* writer, const std::string& text)
{
    if (text.empty())
    {
        writer->U32(0);
        return;
    }
    writer->U32(static_cast<uint32_t>(text.size() + 1));
    writer->Bytes(text.c_str(), text.size() + 1);
}

void Vec3(CByteWriter* writer, const CkvrVector3& value)
{
    writer->F32(value.x);
    writer->F32(value.y);
    writer->F32(value.z);
}
}
