// The shared photo picker: a cancelled dialog, a picture and a file that is no picture.

#include <gtest/gtest.h>

#include <vector>

#include "foundation/Files.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"
#include "main/editors/PhotoPick.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

TEST(PhotoPick, TakesAPictureRefusesAnythingElseAndIgnoresACancel) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    Main::MainWindow& window = driver.Window();
    const std::wstring picture = driver.DataPath(L"picked.png");
    const std::wstring text = driver.DataPath(L"notes.png");
    ASSERT_TRUE(Files::WriteBytes(picture, Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFF3366CC), true, 0.9f)));
    ASSERT_TRUE(Files::WriteBytes(text, "not a picture, whatever its name says"));

    driver.pickedFile.clear();
    EXPECT_EQ(Main::PickPhoto(window), std::nullopt);
    EXPECT_TRUE(driver.Toasts().empty());

    driver.pickedFile = text;
    EXPECT_EQ(Main::PickPhoto(window), std::nullopt);
    ASSERT_EQ(driver.Toasts().size(), 1u);
    EXPECT_EQ(driver.Toasts()[0], L"El archivo elegido no es una imagen válida.");

    driver.pickedFile = picture;
    EXPECT_EQ(Main::PickPhoto(window), picture);
    EXPECT_EQ(driver.filePicks, 3);
}

}  // namespace
}  // namespace Lorvex::Testing
