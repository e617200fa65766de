#include "game/battle/tag_TOLQREPLAYHEADER.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"

void WriteReplayHeader(CByteWriter* writer, const tag_TOLQREPLAYHEADER& header)
{
    writer->U16(header.version);
    writer->FixedText(header.stageName, sizeof(header.stageName));
    writer->FixedText(header.characterName, sizeof(header.characterName));
    writer->U8(header.online);
    writer->U8(header.zero);
    writer->U16(header.year);
    writer->U8(header.month);
    writer->U8(header.day);
}

void ReadReplayHeader(CByteReader* reader, tag_TOLQREPLAYHEADER* header)
{
    header->version = reader->U16();
    reader->FixedText(header->stageName, sizeof(header->stageName));
    reader->FixedText(header->characterName, sizeof(header->characterName));
    header->online = reader->U8();
    header->zero = reader->U8();
    header->year = reader->U16();
    header->month = reader->U8();
    header->day = reader->U8();
}
