// pavona-pictures --out DIR [--scale 1.5] [--only NAME]: writes one PNG per scene. It runs on Qt's
// offscreen platform with a screen large enough for the whole window, and a data folder of its
// own, so no agent.ini of the user is read or written.
#include "platform/Clock.h"
#include "tools/pictures/Scenes.h"
#include "ui/AgentUi.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: pavona-pictures --out DIR [--scale 1|1.5] [--only NAME]\n");
    return 2;
}

// Qt reads the screen from a file named in the platform argument; it must exist before the
// application is made.
void UseOffscreenScreen(const std::string& file, int dpi) {
    std::ofstream(file) << R"({"screens": [{"name": "pictures", "x": 0, "y": 0, "width": 3000,)"
                        << R"( "height": 2000, "logicalDpi": )" << dpi
                        << R"(, "logicalBaseDpi": 96, "dpr": 1}]})";
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).c_str(), 1);
    setenv("QT_FONT_DPI", std::to_string(dpi).c_str(), 1);
}

} // namespace

int main(int argc, char** argv) {
    std::string out, only;
    double scale = 1.0;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (std::strcmp(argv[i], "--out") == 0 && more)
            out = argv[++i];
        else if (std::strcmp(argv[i], "--scale") == 0 && more)
            scale = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--only") == 0 && more)
            only = argv[++i];
        else
            return Usage();
    }
    if (out.empty() || (scale != 1.0 && scale != 1.5)) return Usage();

    QTemporaryDir data;
    if (!data.isValid()) return 1;
    setenv("LOCALAPPDATA", data.path().toStdString().c_str(), 1);
    // The settings page reads the autostart entry: the user's own must not show in a picture.
    setenv("XDG_CONFIG_HOME", data.filePath("config").toStdString().c_str(), 1);
    UseOffscreenScreen(data.filePath("screen.json").toStdString(), scale == 1.0 ? 96 : 144);

    pavona::PrepareUiScaling();
    int qargc = 1;
    QApplication app(qargc, argv);
    pavona::LoadUiFonts();
    const pavona::FixedClock clock(pavona::pictures::SceneNow());
    const pavona::ScopedClock useClock(clock);
    QDir().mkpath(QString::fromStdString(out));

    int written = 0;
    for (const auto& scene : pavona::pictures::AllScenes()) {
        if (!only.empty() && scene.Name != only) continue;
        if (scale != 1.0 && !scene.AtBothScales) continue;
        std::unique_ptr<QWidget> widget = scene.Build();
        widget->show();
        // Lets the layout settle and the debounced relayout run before the photograph.
        for (int i = 0; i < 8; ++i) {
            QApplication::processEvents();
            QThread::msleep(40);
        }
        const std::string name = scene.Name + (scale == 1.0 ? "" : "@150") + ".png";
        const std::string path = out + "/" + name;
        if (!widget->grab().toImage().save(QString::fromStdString(path))) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s  %d x %d\n", path.c_str(), widget->width(), widget->height());
        ++written;
    }
    if (written == 0) {
        std::fprintf(stderr, "no scene named %s\n", only.c_str());
        return 1;
    }
    return 0;
}
