#pragma once

#include "engine/platform/CApplicationMain.h"
#include "game/app/CGameConfig.h"
#include "tools/config/CConfigPage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CQorResourceController;
class DialogWindow;
class InputSource;

// The configuration tool: a dialog with one tab page per group of settings
// (screen, sound, controls, game, network) that edits "GameConfig.dat".
// OK saves and closes, Cancel closes without saving, Apply saves, Defaults
// resets the page shown. The close box asks whether to save changes that
// were not saved. A typed value that can't be saved stops the save and is
// shown on its page with the reason.
class CConfigMain : public CApplicationMain
{
public:
    enum ControlId
    {
        ID_TABS = 100,
        ID_DEFAULTS = 10,
        ID_APPLY = 11,
    };

    CConfigMain();
    ~CConfigMain() override;

    int Init(InstanceHandle instance, WindowProcedure procedure) override;
    int Update() override;
    int OnLostDevice() override { return 1; }
    int OnResetDevice() override { return 1; }
    int Render() override { return 1; }
    uint32_t Shutdown() override;
    LResult WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam) override;

    // The folder the tool runs in (where "GameResource.grc" lies); null or
    // never set: the program's own folder. Set before WinMain.
    static void SetDataFolder(const char* folder);
    // The name by which a second copy finds the first (tests running side by
    // side give each copy its own). Set before WinMain.
    static void SetInstanceName(const char* name);
    // Where the pads are read from (tests script them); null: the devices.
    // Set before WinMain.
    static void SetInputSource(InputSource* source);

    DialogWindow* GetDialog() const { return m_dialog.get(); }
    CQorResourceController* GetResourceController() const { return m_resources.get(); }
    CGameConfig* GetGameConfig() { return &m_config; }
    CConfigPage* GetPage(size_t index) const { return index < m_pages.size() ? m_pages[index].get() : nullptr; }
    size_t GetPageCount() const { return m_pages.size(); }
    int GetCurrentPage() const { return m_currentPage; }

private:
    bool CreateDialog(WindowProcedure procedure);
    bool LoadResources();
    bool CreatePages(WindowProcedure procedure);
    void ShowPage(int index);
    // The pages' controls into the settings, then "GameConfig.dat". 1/0.
    int Save();
    // Every page's typed fields; false shows the first page with a refused
    // field.
    bool CheckPages();
    // The settings file as the pages would save it now.
    std::vector<uint8_t> SettingsShown();
    bool HasUnsavedChanges();
    void ResetPage();
    // Closes, first asking whether to save when changes were not saved.
    void AskToClose();
    void Close();
    void ShowError(const std::string& text) const;
    LResult DialogCommand(int id);
    CConfigPage* PageOf(WindowHandle window) const;

    // The window, input and frame timer are the base's m_system and
    // m_input, freed by its Shutdown; the dialog is the tool's own.
    std::unique_ptr<DialogWindow> m_dialog;
    std::unique_ptr<CQorResourceController> m_resources;
    std::vector<std::unique_ptr<CConfigPage>> m_pages;
    CGameConfig m_config;
    // The settings file as it was loaded or last saved, to tell changes.
    std::vector<uint8_t> m_savedSettings;
    int m_currentPage = -1;
};
