// Every text the user sees, each written once: messages and their titles, window and control
// captions, the tray menu, the rows of the partition list and the About text. The program's
// texts are Simplified Chinese; each is given byte for byte as it must appear.
#pragma once

#include <string>
#include <string_view>

#include "Version.h"

namespace tovik::text {

// Words that serve as titles and captions alike.
inline constexpr std::string_view kAppTitle = "Tovik";  // boxes given no title of their own
inline constexpr std::string_view kError = "错误";
inline constexpr std::string_view kNotice = "提示";
inline constexpr std::string_view kWarning = "警告";
inline constexpr std::string_view kPassword = "密码";  // a title and the Password command
inline constexpr std::string_view kAbout = "关于";     // the About command, item and window
inline constexpr std::string_view kOk = "确定";
inline constexpr std::string_view kCancel = "取消";

// The main window.
inline constexpr char kMainCaptionText[] = "我的Tovik V" TOVIK_VERSION_SHORT;
inline constexpr std::string_view kMainCaption = kMainCaptionText;
inline constexpr std::string_view kCredit = "Tovik 开发组  2026";
inline constexpr std::string_view kCommandCaptions[] = {"打开", "关闭",    "新建",
                                                        "删除", kPassword, kAbout};

// The partition list's rows: "D: 剩余12.35GB  已创建 D:=> G: ".
inline constexpr std::string_view kFreeSpacePrefix = " 剩余";
inline constexpr std::string_view kFreeSpaceUnit = "GB";
inline constexpr std::string_view kNoVault = "  未创建";
inline constexpr std::string_view kVaultClosed = "  已创建 未打开";
inline constexpr std::string_view kVaultOpen = "  已创建 ";
// A vault whose folder went while its letter still leads there.
inline constexpr std::string_view kNoVaultButOpen = "  未创建 ";
inline constexpr std::string_view kMappedTo = "=>";

// The tray.
inline constexpr std::string_view kTrayTip = "免费Tovik，点击右键弹出菜单、左键显示窗口";
inline constexpr std::string_view kMenuRestore = "恢复窗体";
inline constexpr std::string_view kMenuCloseAll = "关闭所有Tovik";
inline constexpr std::string_view kMenuExit = "退出";

// The password dialogs.
inline constexpr std::string_view kPromptCaption = "需要密码";
inline constexpr std::string_view kPromptLabel = "请输入此盘的密码(&P)：";
inline constexpr std::string_view kSetPasswordCaption = "更改密码";
inline constexpr std::string_view kNewPasswordLabel = "新密码";
inline constexpr std::string_view kRepeatPasswordLabel = "再次输入";

// Messages.
inline constexpr std::string_view kNoPasswordYet = "此盘还没有设置密码，可在 [更改密码] 中设定。";
inline constexpr std::string_view kWrongPassword = "密码不正确！";
inline constexpr std::string_view kPasswordFileUnreadable = "无法读取此盘的密码文件，操作已取消。";
inline constexpr std::string_view kEntriesDiffer = "两次输入不一致！请重新输入。";
inline constexpr std::string_view kPasswordNotHoldable =
    "密码中含有本机无法保存的字符，请换用其他字符。";
inline constexpr std::string_view kPasswordNotSaved = "密码保存失败，原密码未改变。";
inline constexpr std::string_view kCannotCreate = "无法在此分区上创建Tovik。";
inline constexpr std::string_view kCannotDelete = "无法删除此Tovik，未能删除的文件仍在原处。";
inline constexpr std::string_view kNoDriveList = "无法读取本机的驱动器列表，请稍后重新启动Tovik。";
inline constexpr std::string_view kDeleteWarning =
    "这将调用Windows系统功能永久删除相关文件,不可恢复!确定要继续吗?";
inline constexpr std::string_view kNoSubstToMap =
    "系统文件丢失，无法创建映射，重装系统可能解决此问题";
inline constexpr std::string_view kNoSubstToUnmap =
    "系统文件丢失，无法关闭映射，重装系统可能解决此问题";

// Start-up as administrator, when the program cannot be started again as the user.
inline constexpr std::string_view kRunAsAdministrator =
    "以管理员身份运行的Tovik所打开的Tovik，在您的资源管理器中看不到。"
    "请正常启动Tovik，不要选择“以管理员身份运行”。";

// "此分区上的Tovik已经打开了，盘符是  G: ": the mapped text keeps its blanks.
inline std::string AlreadyOpen(std::string_view mappedLetter) {
    return std::string("此分区上的Tovik已经打开了，盘符是 ").append(mappedLetter);
}
// The letters are given as "G:".
inline std::string CannotMap(std::string_view letter) {
    return std::string("无法将此Tovik映射到盘符 ").append(letter).append("，该盘符可能已被占用。");
}
inline std::string StillMapped(std::string_view letter) {
    return std::string("无法取消盘符 ").append(letter).append(" 的映射，此Tovik仍处于打开状态。");
}
inline std::string LettersStillMapped(std::string_view letters) {  // "G: H:"
    return std::string("以下盘符的映射未能取消：")
        .append(letters)
        .append("。这些Tovik在注销前仍可访问。");
}

// The About window: lines joined by CR LF, the last one ended too.
inline constexpr std::string_view kAboutText =
    "    以前试用过几款“Tovik”，感觉都不是很好,有的还要收费。求人不如求已！一鼓作气自已搞了一个。"
    "此软件纯绿色，绝不修改注册表，删除Tovik绝不遗留任何垃圾。在WIN98、ME、XP下均可正常运行。"
    "一般的菜鸟是打不开您的Tovik的！须知：强中更有强中手，没有绝对保险的！若遇到老鸟大虾之类,"
    "谁也不敢保证了...... 呜~~ 我也不保证......  \r\n"
    "  \r\n"
    "  欢迎提出意见和建议，请来信告诉 Tovik 开发组。\r\n"
    "  Tovik 开发组  2026年\r\n";

}  // namespace tovik::text
