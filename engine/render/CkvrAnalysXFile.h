#pragma once

#include "engine/core/CkvrReadText.h"
#include "engine/render/CkvrXModel.h"

// Parses a text X file ("xof " at 0, "txt " at 8) into a CkvrXModel and
// links it: the 16 templates the converter uses are read, every other
// template and declaration is skipped whole.
//
// Every count read is checked against the text that remains, and every
// index against what it indexes; a file that lies fails the parse.
class CkvrAnalysXFile : public CkvrReadText
{
public:
    CkvrAnalysXFile() = default;
    ~CkvrAnalysXFile() override = default;
    const char* GetClassName() const override { return "CkvrAnalysXFile"; }

    // Opens fileName and parses it. 1 when the file is a text X file whose
    // counts hold; the tree is then built and linked.
    uint32_t Parse(CkvrXModel* model, const char* fileName);
    // The same over a reader already opened (a file or memory).
    uint32_t ParseOpened(CkvrXModel* model);
    uint32_t CheckMagic() const;
    uint32_t CheckTextHeader() const;

private:
    bool ParseTree(CkvrXModel* model);
    bool ReadReference(CkvrXModel* model, KVRXNODE* current, bool* stop);
    bool ReadData(KVRXNODE* node);
    bool ReadCount(uint32_t* count, uint32_t valuesEach);
    bool ReadVectors(std::vector<CkvrVector3>* out, uint32_t count);
    bool ReadFaces(KVRXNODE* node);
    bool ReadKeys(KVRXNODE* node);
    bool Link(CkvrXModel* model);
    bool LinkMesh(KVRXNODE* mesh);
    void LinkFrame(KVRXNODE* frame);
};
