#include "tools/config/CConfigMain.h"

#include "engine/platform/input/CInput.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/PlatformMessageBox.h"
#include "tools/config/CControlsPage.h"
#include "tools/config/CGamePage.h"
#include "tools/config/CNetworkPage.h"
#include "tools/config/CScreenPage.h"
#include "tools/config/CSoundPage.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameConfigDefaults.h"

#include <cstring>
#include <string>

namespace
{
constexpr const char* kCaption = "QOR Configuration";
constexpr int kWidth = 640;
constexpr int kHeight = 540;
constexpr int kFramesPerSecond = 60;
constexpr const char* kResourceList = "GameResource.grc";

std::string g_dataFolder;
std::string g_instanceName = "QORConfiguration";

uint32_t LowWord(WParam value)
{
    return static_cast<uint32_t>(value) & 0xFFFFu;
}

uint32_t HighWord(WParam value)
{
    return (static_cast<uint32_t>(value) >> 16) & 0xFFFFu;
}
}

CConfigMain::CConfigMain() = default;

void CConfigMain::SetDataFolder(const char* folder)
{
    g_dataFolder = folder != nullptr ? folder : "";
}

void CConfigMain::SetInstanceName(const char* name)
{
    g_instanceName = name != nullptr ? name : "";
}

// The names of the game's resources (contents 0): the settings pages list
// what the data offers.
bool CConfigMain::LoadResources()
{
    if (m_system->SetCurrentFolder(g_dataFolder.empty() ? nullptr : g_dataFolder.c_str()) == 0)
    {
        const std::string text = "The data folder \"" + g_dataFolder + "\" can't be entered.";
        ShowMessageBox(m_dialog.get(), text.c_str(), "Error");
        return false;
    }
    m_resources = std::make_unique<CQorResourceController>();
    if (m_resources->Load(kResourceList, 0) != 0)
        return true;
    std::string text = std::string(kResourceList) + " could not be loaded";
    const std::string why = m_resources->GetLastError();
    text += why.empty() ? "." : ": " + why;
    ShowMessageBox(m_dialog.get(), text.c_str(), "Error");
    return false;
}

CConfigMain::~CConfigMain()
{
    Shutdown();
}

bool CConfigMain::CreateDialog(WindowProcedure procedure)
{
    DialogTemplate main(kCaption, kWidth, kHeight);
    main.Add(DialogControlKind::TabControl, ID_TABS, 0, 0, kPageWidth, kPageHeight)
        .Add(DialogControlKind::Button, ID_DEFAULTS, 8, kHeight - 38, 100, 30, "Defaults")
        .Add(DialogControlKind::Button, DIALOG_ID_OK, kWidth - 324, kHeight - 38, 100, 30, "OK")
        .Add(DialogControlKind::Button, DIALOG_ID_CANCEL, kWidth - 216, kHeight - 38, 100, 30, "Cancel")
        .Add(DialogControlKind::Button, ID_APPLY, kWidth - 108, kHeight - 38, 100, 30, "Apply");
    m_dialog = std::make_unique<DialogWindow>(procedure);
    if (m_dialog->Create(main, nullptr, 0))
        return true;
    m_dialog.reset();
    return false;
}

bool CConfigMain::CreatePages(WindowProcedure procedure)
{
    m_pages.push_back(std::make_unique<CScreenPage>());
    m_pages.push_back(std::make_unique<CSoundPage>());
    m_pages.push_back(std::make_unique<CControlsPage>());
    m_pages.push_back(std::make_unique<CGamePage>());
    m_pages.push_back(std::make_unique<CNetworkPage>());
    for (const std::unique_ptr<CConfigPage>& page : m_pages)
    {
        if (!page->Create(m_dialog.get(), procedure))
            return false;
        m_dialog->AddTabItem(ID_TABS, page->GetTitle());
        page->Fill(*m_config.GetData());
    }
    return true;
}

int CConfigMain::Init(InstanceHandle instance, WindowProcedure procedure)
{
    (void)instance;
    if (!CreateDialog(procedure))
    {
        ShowMessageBox(nullptr, "The configuration window could not be opened (no display?).", "Error");
        return 0;
    }
    // A second copy brings the first one forward and ends.
    m_system = new CSystem();
    m_system->SetName(g_instanceName.c_str());
    m_system->AttachWindow(m_dialog.get());
    if (m_system->CheckSingleInstance() == 0)
        return 0;

    m_input = new CInput();
    if (m_input->InitWithWindow(m_dialog.get()) == 0)
        return 0;
    // Keys come from the dialog's key events; the input object serves the
    // pads only, with every action on its own pad element.
    std::memset(m_input->GetPadState(0)->keyMap, 0, sizeof(m_input->GetPadState(0)->keyMap));
    InitFrameTimer(m_system, kFramesPerSecond);
    if (!LoadResources())
        return 0;

    if (m_config.Load() == 0)
    {
        ShowMessageBox(m_dialog.get(), m_config.GetLoadProblem().c_str(), "Error");
        return 0;
    }
    if (!CreatePages(procedure))
        return 0;
    ShowPage(0);
    m_dialog->Show();
    // Told once; the file is replaced only when the user saves.
    if (!m_config.GetLoadProblem().empty())
        ShowMessageBox(m_dialog.get(), m_config.GetLoadProblem().c_str(), kCaption);
    return 1;
}

int CConfigMain::Update()
{
    if (m_input == nullptr)
        return 1;
    m_input->Update();
    if (m_currentPage >= 0)
        m_pages[static_cast<size_t>(m_currentPage)]->OnFrame(m_input);
    return 1;
}

uint32_t CConfigMain::Shutdown()
{
    m_currentPage = -1;
    m_pages.clear();
    m_resources.reset();
    // The input object reads from the dialog: it goes before the dialog.
    if (m_input != nullptr)
    {
        m_input->Release();
        delete m_input;
        m_input = nullptr;
    }
    m_dialog.reset();
    return CApplicationMain::Shutdown();
}

void CConfigMain::ShowPage(int index)
{
    if (index < 0 || index >= static_cast<int>(m_pages.size()) || index == m_currentPage)
        return;
    if (m_currentPage >= 0)
        m_pages[static_cast<size_t>(m_currentPage)]->Show(false);
    m_currentPage = index;
    m_pages[static_cast<size_t>(index)]->Show(true);
    m_dialog->SetTabSelection(ID_TABS, index);
}

int CConfigMain::Save()
{
    for (const std::unique_ptr<CConfigPage>& page : m_pages)
        page->Store(m_config.GetData());
    if (m_config.SaveConfig() != 0)
        return 1;
    ShowMessageBox(m_dialog.get(), "GameConfig.dat could not be saved; the settings file was not changed.", "Error");
    return 0;
}

void CConfigMain::ResetPage()
{
    if (m_currentPage < 0)
        return;
    tag_TOLQGAMECONFIG defaults;
    SetDefaultGameConfig(&defaults);
    m_pages[static_cast<size_t>(m_currentPage)]->Fill(defaults);
}

void CConfigMain::Close()
{
    if (m_dialog != nullptr)
        m_dialog->Hide();
    MessageQueue::PostQuit(0);
}

LResult CConfigMain::DialogCommand(int id)
{
    switch (id)
    {
    case DIALOG_ID_OK:
        if (Save() != 0)
            Close();
        return 1;
    case DIALOG_ID_CANCEL:
        Close();
        return 1;
    case ID_APPLY:
        Save();
        return 1;
    case ID_DEFAULTS:
        ResetPage();
        return 1;
    default:
        return 0;
    }
}

CConfigPage* CConfigMain::PageOf(WindowHandle window) const
{
    for (const std::unique_ptr<CConfigPage>& page : m_pages)
    {
        if (page->GetWindow() == window)
            return page.get();
    }
    return nullptr;
}

LResult CConfigMain::WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    if (m_dialog != nullptr && window == m_dialog.get())
    {
        switch (id)
        {
        case MSG_COMMAND:
            return DialogCommand(static_cast<int>(LowWord(wParam)));
        case MSG_NOTIFY:
            if (static_cast<int>(wParam) == ID_TABS)
                ShowPage(m_dialog->GetTabSelection(ID_TABS));
            return 0;
        case MSG_KEYDOWN:
            if (m_currentPage >= 0)
                m_pages[static_cast<size_t>(m_currentPage)]->OnKey(static_cast<uint8_t>(wParam));
            return 0;
        case MSG_CLOSE:
            Close();
            return 0;
        default:
            break;
        }
    }
    if (CConfigPage* page = PageOf(window))
    {
        if (id == MSG_COMMAND)
        {
            page->OnCommand(static_cast<int>(LowWord(wParam)), HighWord(wParam));
            return 0;
        }
        if (id == MSG_HSCROLL)
        {
            page->OnScroll(static_cast<int>(lParam), static_cast<int16_t>(HighWord(wParam)));
            return 0;
        }
    }
    return CApplicationMain::WindowProc(window, id, wParam, lParam);
}
