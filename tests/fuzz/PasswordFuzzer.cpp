// libFuzzer target: whatever a password.dat holds and whatever is typed, the first line is
// read as defined, the typed text is held in the file's code page exactly or not at all, the
// check lets through exactly the matching entries, a saved password can be typed again, and
// nothing crashes or runs away.
//
// The input is taken apart as: one byte giving the size of the pieces the file is read in,
// the file's bytes, a 0xFF byte, then the typed text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FakePlatform.h"
#include "FakeViews.h"
#include "password/PasswordFile.h"
#include "platform/Text.h"

namespace {

constexpr char kFile[] = "D:\\Recycled\\Tovik\\Recycled\\password.dat";

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tovik;
    if (size == 0) return 0;
    const std::size_t pieceSize = 1 + data[0] % 64;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto separator = rest.find('\xff');
    const std::string file(rest.substr(0, separator));
    const std::string typed(separator == std::string_view::npos ? std::string_view()
                                                                : rest.substr(separator + 1));

    // The line, read piece by piece, is the file up to its first CR.
    FirstLineReader reader;
    for (std::size_t at = 0; at < file.size(); at += pieceSize) {
        if (!reader.Feed(std::string_view(file).substr(at, pieceSize))) break;
    }
    const std::string expected = file.substr(0, file.find('\r'));
    Require(reader.Line() == expected);

    // The check, with the typed text turned into the file's code page as the program does:
    // exactly the entries equal to a line that is not blank, but for blanks at the ends, get
    // through; a blank line or an entry the code page cannot hold gets nobody through.
    const auto encoded = test::EncodeCodePage936(typed);
    const bool blank = TrimBlanks(expected).empty();
    test::FakePlatform platform;
    platform.AddDrive('D', kDriveFixed);
    platform.AddFolder("D:\\Recycled\\Tovik\\Recycled", 7);
    platform.AddFile(kFile, file);
    test::FakeDialogs dialogs;
    dialogs.prompts = {typed};
    std::string entered;
    const bool passed = CheckPassword(platform, dialogs, entered, "D:", true);
    Require(passed == (!blank && encoded && TrimBlanks(expected) == TrimBlanks(*encoded)));
    Require(dialogs.promptShown == (blank ? 0 : 1));
    Require(platform.messages.size() == (passed ? 0u : 1u));
    Require(entered.empty());

    // Whatever the dialog saves can be typed again, and it saves nothing it cannot hold.
    test::FakePlatform fresh;
    fresh.AddDrive('D', kDriveFixed);
    fresh.AddFolder("D:\\Recycled\\Tovik\\Recycled", 7);
    test::FakeSetPasswordView view;
    view.first = view.second = typed;
    AcceptNewPassword(fresh, "D:", view);
    const auto* saved = fresh.Find(kFile);
    const bool holdable = encoded && encoded->find('\r') == std::string::npos;
    Require(view.closed == (holdable && !TrimBlanks(typed).empty()));
    Require(view.closed == (saved != nullptr));
    if (saved) {
        Require(saved->bytes == *encoded + "\r\n");
        test::FakeDialogs again;
        again.prompts = {" " + typed + " "};
        Require(CheckPassword(fresh, again, entered, "D:", false));
    }
    return 0;
}
