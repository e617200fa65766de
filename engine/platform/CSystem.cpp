#include "engine/platform/CSystem.h"

#include "engine/core/AlignedMemory.h"

CSystem::CSystem() = default;

CSystem::~CSystem() = default;

void CSystem::Release()
{
    AlignedFree(m_name);
    m_name = nullptr;
}
