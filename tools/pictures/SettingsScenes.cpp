// The settings page of an enrolled store with the advanced card open, scrolled to it.
#include "config/AgentSettings.h"
#include "tools/pictures/Scenes.h"
#include "ui/AgentWindow.h"
#include "ui/SettingsPage.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>

namespace pavona::pictures {
namespace {

std::unique_ptr<QWidget> SettingsOpen() {
    std::unique_ptr<TAgentForm> form = RunningWindow();
    TAgentSettings settings;
    DefaultSettings(settings);
    settings.Store = "1234567890";
    settings.BaseUrl = "https://nonghal.example";
    settings.Key = "demo";
    settings.PosConnStr = "Provider=SQLOLEDB;Data Source=POS-SERVER,1433;Initial Catalog=PosDb;"
                          "User ID=reader;Password=********";
    TSettingsHooks hooks;
    // Nothing is asked of an engine here; a click would only say it was not answered.
    hooks.Post = [](std::function<void(TAgentEngine&)>, std::function<void()>) {};
    hooks.Inform = hooks.Warn = hooks.Fail = [](QWidget*, const QString&) {};
    auto* page = new TSettingsPage(settings, form->SettingsCardWidth(), hooks);
    form->SetPage(6, page);
    form->show();
    form->ShowPage(6);
    page->ToggleAdvanced();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    for (QWidget* w = page; w != nullptr; w = w->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            break;
        }
    return form;
}

} // namespace

std::vector<TScene> SettingsScenes() {
    return {{"settings-advanced", true, SettingsOpen}};
}

} // namespace pavona::pictures
