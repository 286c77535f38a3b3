#pragma once
// What the main-window tests share: a fresh data folder, settings and services per test, records
// put into the application state, and frames of a window run by hand (a window that was never
// opened has no native window and a surface without a device, so drawing does nothing).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "domain/Records.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "main/MainWindow.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "services/updates/Updates.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {

class MainWindowTest : public ::testing::Test {
protected:
    static constexpr float kFrameDt = 1.0f / 60;

    void SetUp() override {
        ASSERT_TRUE(Async::Startup());
        data_ = MakeTempFolder(L"lorvex-window");
        Paths::SetDataDirForTesting(data_);
        Settings::Instance() = Settings{};
        Services::CloudSync::ResetForTesting();
        Services::AppState::ResetForTesting();
        Services::Updates::AfterUpdateNotice().clear();
        Services::Updates::NewVersionNotice().clear();
    }

    void TearDown() override {
        Services::Updates::AfterUpdateNotice().clear();
        Services::Updates::NewVersionNotice().clear();
        Services::AppState::ResetForTesting();
        Services::CloudSync::ResetForTesting();
        Settings::Instance() = Settings{};
        Async::Shutdown();
        Files::RemoveTree(data_);
    }

    static Services::AppState& state() { return Services::AppState::Instance(); }

    static std::shared_ptr<Character> AddCharacter(const std::wstring& name) {
        auto character = Character::Create();
        character->name = name;
        // As the character form does with a new character.
        state().characters.insert(state().characters.begin(), character);
        state().SaveCharacter(character);
        return character;
    }

    static std::shared_ptr<Persona> AddPersona(const std::wstring& name) {
        auto persona = std::make_shared<Persona>();
        persona->id = name;
        persona->name = name;
        state().SavePersona(persona);
        return persona;
    }

    // One frame of the window dt after the previous one.
    void Frame(Main::MainWindow& window, float dt = kFrameDt) {
        now_ += dt;
        window.ui.BeginFrame(window.input, now_, dt);
        window.Draw();
        window.ui.EndFrame();
        window.input.ClearFrame();
    }

    void RunFor(Main::MainWindow& window, double seconds) {
        const double until = now_ + seconds;
        while (now_ < until) {
            Frame(window);
        }
    }

    std::wstring data_;
    double now_ = 10.0;
};

}  // namespace Lorvex::Testing
