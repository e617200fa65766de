#include "engine/platform/CComInit.h"

namespace
{
CComInit* g_current = nullptr;
}

CComInit::~CComInit()
{
    Uninit();
}

int CComInit::Init(CSystem* system)
{
    m_system = system;
    g_current = this;
    return 1;
}

void CComInit::Uninit()
{
    if (g_current == this)
        g_current = nullptr;
}

CComInit* CComInit::GetCurrent()
{
    return g_current;
}
