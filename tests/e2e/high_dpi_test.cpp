// The wizard at 150 % (144 dots per inch), as a laptop shows it: Wine draws the program at that scale, the
// pages grow with it, and on every page the controls stay inside the wizard and none covers another.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/demo_session.h"
#include "tests/e2e/installed_system.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

using namespace uirobot;
using namespace e2e;

namespace {

// The scale that programs started from now on get, set where Wine reads it; the old one comes back at the
// end (the prefix is shared by every test).
class SCREENSCALE {
public:
    explicit SCREENSCALE(DWORD dpi) {
        for (const KEY& key : Keys()) {
            DWORD value = 0, size = sizeof(value);
            const bool had = RegGetValueA(key.Root, key.Path, "LogPixels", RRF_RT_REG_DWORD, nullptr, &value,
                                          &size) == ERROR_SUCCESS;
            Saved.push_back({had, value});
            Set(key, dpi);
        }
    }
    ~SCREENSCALE() {
        for (size_t i = 0; i < Keys().size(); ++i) {
            if (Saved[i].first)
                Set(Keys()[i], Saved[i].second);
            else
                RegDeleteKeyValueA(Keys()[i].Root, Keys()[i].Path, "LogPixels");
        }
    }

private:
    struct KEY {
        HKEY Root;
        const char* Path;
    };
    static const std::vector<KEY>& Keys() {
        static const std::vector<KEY> keys = {{HKEY_CURRENT_USER, "Control Panel\\Desktop"},
                                              {HKEY_CURRENT_CONFIG, "Software\\Fonts"}};
        return keys;
    }
    static void Set(const KEY& key, DWORD dpi) {
        RegSetKeyValueA(key.Root, key.Path, "LogPixels", REG_DWORD, &dpi, sizeof(dpi));
    }
    std::vector<std::pair<bool, DWORD>> Saved;
};

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}
// Overlapping by more than the one pixel that rounding dialog units at 150 % may give two neighbours.
bool Overlap(const RECT& a, const RECT& b) {
    RECT common;
    return IntersectRect(&common, &a, &b) && common.right - common.left > 1 && common.bottom - common.top > 1;
}

std::string Describe(const Window& control) {
    const RECT r = control.screenRect();
    return control.className() + " " + std::to_string(control.id()) + " '" + control.text().substr(0, 30) +
           "' (" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) +
           "," + std::to_string(r.bottom) + ")";
}

// Every visible control of the wizard lies inside its client area; no two overlap unless one holds the other
// (a frame around its contents, the page around its controls).
void ExpectLaidOut(const Window& wizard, const std::string& page) {
    RECT client;
    GetClientRect(wizard.handle(), &client);
    MapWindowPoints(wizard.handle(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::vector<Window> shown;
    for (const Window& control : wizard.children())
        if (control.isVisible() && IsWindowVisible(GetParent(control.handle()))) {
            const RECT r = control.screenRect();
            if (r.right > r.left && r.bottom > r.top)
                shown.push_back(control);
        }
    ASSERT_GT(shown.size(), 5u) << page;
    for (size_t i = 0; i < shown.size(); ++i) {
        const RECT a = shown[i].screenRect();
        EXPECT_TRUE(Inside(a, client)) << page << ": cut by the wizard's edge: " << Describe(shown[i]);
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const RECT b = shown[j].screenRect();
            if (Overlap(a, b) && !Inside(a, b) && !Inside(b, a))
                ADD_FAILURE() << page << ": " << Describe(shown[i]) << " overlaps " << Describe(shown[j]);
        }
    }
}

class HighDpiWizard : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : std::filesystem::directory_iterator(DEMO_PACKAGE_DIR))
            std::filesystem::copy_file(file.path(), Package.Path / file.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        RemoveDemoPad();
    }
    void TearDown() override { RemoveDemoPad(); }

    void Screenshot(const Window& window, const std::string& name) const {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        ScreenshotFolder folder(std::string(E2E_SCREENSHOT_ROOT) + "/" + info->test_suite_name() + "." +
                                info->name());
        EXPECT_TRUE(Exists(folder.save(captureWindow(window), name)));
    }

    // Walks welcome, licence and destination page, checking each (with screenshots at 144 DPI), then
    // cancels. The wizard's width.
    int WalkAndCancel(bool screenshots) {
        RobotProcess setup = RobotProcess::start(Package.Program(), "", Package.Path.string());
        MessageBoxWindow::waitFor(WindowFinder(setup), kAppName, kPageTimeout).answer("OK");
        const Window wizard = WaitForWizard(setup);
        const RECT frame = wizard.screenRect();
        const struct {
            int Title;
            const char* Name;
        } pages[] = {{2912, "01-welcome"}, {2904, "02-licence"}, {2902, "03-destination"}};
        for (const auto& page : pages) {
            WaitForPage(wizard, page.Title);
            setup.waitForIdle();
            if (screenshots)
                Screenshot(wizard, page.Name);
            ExpectLaidOut(wizard, std::string(page.Name) + (screenshots ? " at 144 DPI" : " at 96 DPI"));
            if (page.Title == 2904)
                CheckBox(PageItem(wizard, 301)).setChecked(true);
            if (page.Title != 2902)
                Next(wizard);
        }
        Button(wizard.child(IDCANCEL)).click();
        wizardui::BoxOverWizard(WindowFinder(setup), wizard, kPageTimeout).answer(IDNO); // No quits
        EXPECT_EQ(setup.exitCode(kPageTimeout), 2u) << "cancelled before copying";
        return frame.right - frame.left;
    }

    SETUPFOLDER Package;
};

TEST_F(HighDpiWizard, At150PercentThePagesGrowAndKeepTheirControlsApartAndWhole) {
    const int normal = WalkAndCancel(false);
    int scaled = 0;
    {
        const SCREENSCALE scale(144);
        scaled = WalkAndCancel(true);
    }
    // The scale is in force: the wizard is half as large again (dialog units follow the font).
    EXPECT_GT(scaled * 100, normal * 130) << normal << " -> " << scaled;
}

} // namespace
