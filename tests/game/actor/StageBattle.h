#pragma once

#include "tests/game/actor/ArenaHarness.h"
#include "tests/game/actor/MeshSamples.h"

#include "game/actor/CFieldLists.h"
#include "game/actor/CStage.h"

#include <cstdio>
#include <cstring>

namespace arena
{
// The arena as a stage of models, with two weapon boxes, two item boxes and
// the seven altars, stepped in the battle's frame order.
class StageBattle
{
public:
    StageBattle() : stage(Definition())
    {
        using meshsamples::MakeObject;
        const CkvrVector3 a(-50, 0, -50), b(-50, 0, 50), c(50, 0, 50), d(50, 0, -50);
        ground.GetObjectList()->Add(MakeObject("Floor",
                                               {{a, b, c, d},
                                                {CkvrVector3(10, 0, -25), CkvrVector3(10, 0, -15),
                                                 CkvrVector3(20, 5, -15), CkvrVector3(20, 5, -25)}},
                                               true));
        const float h = 10.0f;
        hit.GetObjectList()->Add(MakeObject(
            "Walls",
            {{CkvrVector3(50, 0, -50), CkvrVector3(50, h, -50), CkvrVector3(50, h, 50), CkvrVector3(50, 0, 50)},
             {CkvrVector3(-50, 0, -50), CkvrVector3(-50, h, -50), CkvrVector3(-50, h, 50), CkvrVector3(-50, 0, 50)},
             {CkvrVector3(-50, 0, 50), CkvrVector3(-50, h, 50), CkvrVector3(50, h, 50), CkvrVector3(50, 0, 50)},
             {CkvrVector3(-50, 0, -50), CkvrVector3(-50, h, -50), CkvrVector3(50, h, -50), CkvrVector3(50, 0, -50)}},
            true));
        stage.SetModels(&ground, &hit);
        AddTemplates(&battle.lists);
        battle.rule = 3;
        stage.Create(0);
        stage.CreateStageObjects(&battle.lists, &field, 0xFFFF, 0xFF, 1, 0x7F);
        stage.ResetPlacedObjects();
    }

    static CStageDefinition Definition()
    {
        CStageDefinition definition;
        definition.extentMin = CkvrVector3(-200, -10, -200);
        definition.extentMax = CkvrVector3(200, 100, 200);
        definition.starts.clear();
        for (int i = 0; i < 8; ++i)
            definition.starts.push_back({CkvrVector3(-20.0f + 5.0f * i, 0, (i % 2) != 0 ? 6.0f : -6.0f), CkvrVector3()});
        auto place = [&](const char* name, float x, float z) {
            CStageDefinition::Placement placement;
            std::strcpy(placement.templateName, name);
            placement.position = CkvrVector3(x, 0, z);
            definition.placements.push_back(placement);
        };
        place("Box_weapon", 8, 2);
        place("Box_weapon", -8, -2);
        place("Box_item", 2, 8);
        place("Box_item", -2, -8);
        for (int e = 0; e < 7; ++e)
        {
            char name[16];
            std::snprintf(name, sizeof(name), "Altar_%d", e);
            place(name, -15.0f + 5.0f * e, 15.0f);
        }
        return definition;
    }

    static void AddTemplates(CGameDataLists* lists)
    {
        CStageObjectDefinition box;
        box.halfSize = CkvrVector3(0.5f, 0.5f, 0.5f);
        box.life = 50;
        box.respawn = 4000;
        std::strcpy(box.name, "Box_weapon");
        box.kind = CStageObjectDefinition::KIND_WEAPON_BOX;
        lists->stageObjects.push_back(box);
        std::strcpy(box.name, "Box_item");
        box.kind = CStageObjectDefinition::KIND_ITEM_BOX;
        lists->stageObjects.push_back(box);
        for (uint8_t e = 0; e < 7; ++e)
        {
            CStageObjectDefinition altar;
            std::snprintf(altar.name, sizeof(altar.name), "Altar_%u", e);
            altar.kind = static_cast<uint8_t>(1 + e);
            altar.halfSize = CkvrVector3(0.5f, 0.1f, 0.5f);
            lists->stageObjects.push_back(altar);
            CElementDefinition element;
            std::snprintf(element.name, sizeof(element.name), "Element_%u", e);
            element.element = e;
            element.pickUpRadius = 1.0f;
            element.blessingTime = 5000;
            element.altarRespawn = 3000;
            lists->elements.push_back(element);
        }
        const char* names[] = {"Power", "Speed", "Life", "EP", "Gauge", "Ammo", "Coin", "Juel"};
        for (uint8_t kind = 0; kind < 8; ++kind)
        {
            CItemDefinition item;
            std::strcpy(item.name, names[kind]);
            item.kind = kind;
            item.value = 20.0f;
            item.duration = 3000;
            item.radius = 0.6f;
            item.fieldLife = 20000;
            lists->items.push_back(item);
        }
    }

    void Step(uint32_t milliseconds, const std::vector<std::pair<int, tag_TOLQINPUTRECORD>>& records = {})
    {
        SetFrameTime(milliseconds);
        tag_TOLQBATTLEFRAME* f = battle.Frame();
        f->stage = &stage;
        f->field = &field;
        f->elements = stage.GetElements();
        f->elementCount = stage.GetElementCount();
        for (const auto& entry : records)
            battle.pointers[entry.first]->ApplyInputRecord(&entry.second, &battle.input);
        stage.Update(reinterpret_cast<uintptr_t>(f));
        battle.bullets.UpdateAll(0);
        for (CCharacter* fighter : battle.pointers)
            fighter->Update(reinterpret_cast<uintptr_t>(f));
        for (CCharacter* fighter : battle.pointers)
            fighter->MoveAndCollide(f);
        field.Update(&stage, milliseconds);
        for (uint32_t i = 0; i < stage.GetElementCount(); ++i)
            stage.GetElements()[i]->Update(reinterpret_cast<uintptr_t>(f));
        for (CCharacter* fighter : battle.pointers)
            fighter->UpdateHitsAndAttachments(f);
        battle.bullets.HitTestAll(&stage);
    }

    uint64_t Hash() const
    {
        CStateHash hash;
        hash.U32(static_cast<uint32_t>(battle.Hash()));
        hash.U32(static_cast<uint32_t>(battle.Hash() >> 32));
        field.HashState(&hash);
        stage.HashState(&hash);
        return hash.Get();
    }

    Battle battle;
    CMesh ground, hit;
    CStage stage;
    CFieldLists field;
};
}
