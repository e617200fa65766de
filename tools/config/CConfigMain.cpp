#include "tools/config/CConfigMain.h"

#include "engine/core/TextEncoding.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/gtk/MessageDialog.h"
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
#include "game/app/GameConfigFormat.h"

#include <cstring>
#include <filesystem>
#include <string>

namespace
{
constexpr const char* kCaption = "QOR Configuration";
constexpr int kFramesPerSecond = 60;
constexpr const char* kResourceList = "GameResource.grc";
constexpr const char* kConfigFile = "GameConfig.dat";

// Main dialog, in pixels: the pages, then a row of buttons along the foot.
constexpr int kButtonBarHeight = 46;
constexpr int kWidth = kPageWidth;
constexpr int kHeight = kPageHeight + kButtonBarHeight;
constexpr int kButtonTop = kHeight - 38;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 30;
constexpr int kButtonPitch = 108;

std::string g_dataFolder;
std::string g_instanceName = "QORConfiguration";
InputSource* g_inputSource = nullptr;

// Names inside the game's data use '\'; the user reads them as this
// system writes paths.
std::string WithNativeSeparators(const std::string& shiftJis)
{
    std::string text = ConvertShiftJisToUtf8(shiftJis);
    for (char& c : text)
    {
        if (c == '\\')
            c = '/';
    }
    return ConvertUtf8ToShiftJis(text);
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

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

void CConfigMain::SetInputSource(InputSource* source)
{
    g_inputSource = source;
}

void CConfigMain::ShowError(const std::string& text) const
{
    ShowMessageDialog(m_dialog.get(), MessageKind::Error, "Error", text.c_str());
}

// The names of the game's resources (contents 0): the settings pages list
// what the data offers.
bool CConfigMain::LoadResources()
{
    if (m_system->SetCurrentFolder(g_dataFolder.empty() ? nullptr : g_dataFolder.c_str()) == 0)
    {
        const std::string folder = g_dataFolder.empty() ? "the program's own folder" : AbsolutePath(g_dataFolder);
        ShowError("The data folder can't be opened:\n" + folder);
        return false;
    }
    m_resources = std::make_unique<CQorResourceController>();
    if (m_resources->Load(kResourceList, 0) != 0)
        return true;
    std::string text = AbsolutePath(kResourceList) + " could not be loaded";
    const std::string why = m_resources->GetLastError();
    if (!why.empty())
    {
        text += ":\n";
        text += WithNativeSeparators(why);
    }
    text += '.';
    ShowError(text);
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
        .Add(DialogControlKind::Button, ID_DEFAULTS, 8, kButtonTop, kButtonWidth, kButtonHeight, "Defaults")
        .Tooltip("Puts the settings of the page shown back to their first values")
        .Add(DialogControlKind::Button, DIALOG_ID_OK, kWidth - 3 * kButtonPitch, kButtonTop, kButtonWidth,
             kButtonHeight, "OK")
        .Tooltip("Saves the settings and closes")
        .Add(DialogControlKind::Button, DIALOG_ID_CANCEL, kWidth - 2 * kButtonPitch, kButtonTop, kButtonWidth,
             kButtonHeight, "Cancel")
        .Tooltip("Closes without saving")
        .Add(DialogControlKind::Button, ID_APPLY, kWidth - kButtonPitch, kButtonTop, kButtonWidth, kButtonHeight,
             "Apply")
        .Tooltip("Saves the settings");
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
    if (g_inputSource != nullptr)
        m_input->SetInputSource(g_inputSource);
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
        ShowError(m_config.GetLoadProblem());
        return 0;
    }
    if (!CreatePages(procedure))
        return 0;
    m_savedSettings = SettingsShown();
    ShowPage(0);
    m_dialog->Show();
    // Told once; the file is replaced only when the user saves.
    if (!m_config.GetLoadProblem().empty())
        ShowMessageDialog(m_dialog.get(), MessageKind::Warning, kCaption, m_config.GetLoadProblem().c_str());
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

std::vector<uint8_t> CConfigMain::SettingsShown()
{
    tag_TOLQGAMECONFIG shown = *m_config.GetData();
    for (const std::unique_ptr<CConfigPage>& page : m_pages)
        page->Store(&shown);
    return EncodeGameConfig(shown);
}

bool CConfigMain::CheckPages()
{
    int first = -1;
    for (size_t i = 0; i < m_pages.size(); ++i)
    {
        if (!m_pages[i]->CheckFields() && first < 0)
            first = static_cast<int>(i);
    }
    if (first < 0)
        return true;
    // The refused field and why it was refused are on that page.
    ShowPage(first);
    return false;
}

bool CConfigMain::HasUnsavedChanges()
{
    return !CheckPages() || SettingsShown() != m_savedSettings;
}

int CConfigMain::Save()
{
    if (!CheckPages())
        return 0;
    for (const std::unique_ptr<CConfigPage>& page : m_pages)
        page->Store(m_config.GetData());
    if (m_config.SaveConfig() != 0)
    {
        m_savedSettings = SettingsShown();
        return 1;
    }
    const std::string path = m_config.GetFolder().empty() ? kConfigFile : m_config.GetFolder() + kConfigFile;
    ShowError("The settings could not be saved to\n" + path + "\nThe file was not changed.");
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

void CConfigMain::AskToClose()
{
    if (!HasUnsavedChanges())
    {
        Close();
        return;
    }
    const MessageAnswer answer = AskMessageDialog(m_dialog.get(), kCaption,
                                                  "Some settings were changed but not saved. Save them before closing?",
                                                  "_Save", "Close _without Saving");
    if (answer == MessageAnswer::Yes && Save() != 0)
        Close();
    else if (answer == MessageAnswer::No)
        Close();
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
            AskToClose();
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
