#pragma once

// Every text a player can see, in one place: the window's own texts and the
// message of each failure, as UTF-8 (kName) and as the window shows it
// (kNameWide). The test harness reads this file too (tools/zrqtest/vocabulary.py).

#define ZRQ_TEXT(name, text)                 \
  inline constexpr char name[] = text;       \
  inline constexpr wchar_t name##Wide[] = L"" text;

namespace cv::msg {

// The window.
ZRQ_TEXT(kWindowCaption, "游戏安装助手")
ZRQ_TEXT(kPreparing, "正在准备安装…")
ZRQ_TEXT(kFetchingInfo, "正在获取游戏安装信息…")
ZRQ_TEXT(kDownloading, "正在下载安装文件… ")
ZRQ_TEXT(kUpdatingShell, "正在更新安装助手… ")
ZRQ_TEXT(kReconnecting, "网络中断，正在重试… ")
ZRQ_TEXT(kCheckingKept, "正在校验已下载的部分… ")
ZRQ_TEXT(kCheckingCopy, "正在校验已下载的安装文件… ")
ZRQ_TEXT(kVerifying, "正在校验安装文件…")
ZRQ_TEXT(kLaunching, "正在启动安装程序…")
ZRQ_TEXT(kCancelButton, "取消")
ZRQ_TEXT(kCloseButton, "关闭")
ZRQ_TEXT(kInstallingCaptionStart, "正在安装《")
ZRQ_TEXT(kInstallingCaptionEnd, "》")
ZRQ_TEXT(kRollbackFailedSuffix, "；渠道恢复失败，请重新运行原渠道安装助手")

// Command line and file name.
ZRQ_TEXT(kBadCommandLine, "启动参数无效")
ZRQ_TEXT(kBadUpdateOption, "更新参数无效")
ZRQ_TEXT(kBadUpdateHops, "更新次数无效")
ZRQ_TEXT(kBadFileName, "安装文件名称不完整，请重新下载")

// Transport.
ZRQ_TEXT(kNetworkSetupFailed, "网络初始化失败")
ZRQ_TEXT(kConnectFailed, "网络连接失败，请重试")
ZRQ_TEXT(kRequestFailed, "网络请求失败，请重试")
ZRQ_TEXT(kResponseFailed, "网络响应失败，请重试")
ZRQ_TEXT(kDownloadBroken, "下载中断，请重试")
ZRQ_TEXT(kNotAvailable, "下载不可用或地址过期，请重试")
ZRQ_TEXT(kBadUrl, "下载地址无效")
ZRQ_TEXT(kHttpsRequired, "下载必须使用HTTPS")
ZRQ_TEXT(kUntrustedHost, "下载来源未获授权")
ZRQ_TEXT(kDocumentTooLarge, "配置信息过大")

// Documents.
ZRQ_TEXT(kIdentityMismatch, "安装标识不匹配")
ZRQ_TEXT(kBadAppId, "游戏标识无效")
ZRQ_TEXT(kBadGameInfo, "游戏信息无效")
ZRQ_TEXT(kBadChannelInfo, "渠道信息无效")
ZRQ_TEXT(kBadInstallerType, "安装器类型无效")
ZRQ_TEXT(kBadInstallerDigest, "安装器校验信息无效")
ZRQ_TEXT(kBadInstallerSize, "安装器大小无效")
ZRQ_TEXT(kCheckMismatch, "下载验证结果不匹配")
ZRQ_TEXT(kChannelDisabled, "当前渠道暂不允许下载")
ZRQ_TEXT(kInvalidPackage, "安装文件标识无效，请重新下载")
ZRQ_TEXT(kResourcesUpdating, "安装资源正在更新，请稍后重试")
ZRQ_TEXT(kGameUnavailable, "游戏暂不可用，请稍后重试")
ZRQ_TEXT(kShellSchemaIncompatible, "安装助手版本配置不兼容")
ZRQ_TEXT(kBadShellVersion, "安装助手版本信息无效")
ZRQ_TEXT(kBadShellType, "安装助手更新文件类型无效")
ZRQ_TEXT(kSignatureInvalid, "安装信息签名无效")
ZRQ_TEXT(kDocumentExpired, "安装信息已过期，请稍后重试")
ZRQ_TEXT(kDocumentRolledBack, "安装信息版本过旧，请稍后重试")

// The download.
ZRQ_TEXT(kDiskFull, "磁盘空间不足")
ZRQ_TEXT(kCannotCreateFile, "无法创建安装文件")
ZRQ_TEXT(kWriteFailed, "写入安装文件失败")
ZRQ_TEXT(kSizeMismatch, "安装文件大小不匹配")
ZRQ_TEXT(kVerifyFailed, "安装文件校验失败，请重试")
ZRQ_TEXT(kSaveFailed, "安装文件保存失败")

// The session, the handover and the start.
ZRQ_TEXT(kSetupLockFailed, "无法创建安装锁")
ZRQ_TEXT(kGameBusy, "该游戏已有安装助手运行")
ZRQ_TEXT(kUpdateLockFailed, "无法创建更新锁")
ZRQ_TEXT(kShellUpdating, "该安装助手正在更新")
ZRQ_TEXT(kUpdateTargetMismatch, "更新文件版本不匹配")
ZRQ_TEXT(kBadHandoffArguments, "安装助手交接参数无效")
ZRQ_TEXT(kHandoffFailed, "安装助手交接失败")
ZRQ_TEXT(kTooManyUpdates, "安装助手连续更新，请稍后重试")
ZRQ_TEXT(kHandoffEventFailed, "安装助手更新交接失败")
ZRQ_TEXT(kNewShellNotStarted, "新安装助手未能启动，请重试")
ZRQ_TEXT(kNewShellNoAcknowledgement, "新安装助手未完成交接，请重试")
ZRQ_TEXT(kComFailed, "安装环境初始化失败")
ZRQ_TEXT(kNoSystemDirectory, "系统目录不可用")
ZRQ_TEXT(kInstallerNotStarted, "安装程序未启动或已取消授权")
ZRQ_TEXT(kUnexpectedFailure, "安装准备失败，请重新下载后重试")

// Low-level failures, in short English.
ZRQ_TEXT(kCancelled, "Extraction cancelled")
ZRQ_TEXT(kAtomicCreateFailed, "Atomic create failed")
ZRQ_TEXT(kAtomicWriteFailed, "Atomic write failed")
ZRQ_TEXT(kRecordBeingWritten, "Channel record is being written")
ZRQ_TEXT(kGameLockFailed, "Game lock failed")
ZRQ_TEXT(kDirectoryAclFailed, "Directory ACL failed")
ZRQ_TEXT(kDirectoryAclUnavailable, "Directory ACL unavailable")
ZRQ_TEXT(kReparseDirectoryRejected, "Reparse directory rejected")
ZRQ_TEXT(kExecutablePathUnavailable, "Executable path unavailable")
ZRQ_TEXT(kKnownFolderUnavailable, "Known folder unavailable")
ZRQ_TEXT(kSystemDirectoryUnavailable, "System directory unavailable")
ZRQ_TEXT(kRandomIdentifierFailed, "Random identifier failed")
ZRQ_TEXT(kReadFailed, "Read failed")
ZRQ_TEXT(kShortRead, "Short read")
ZRQ_TEXT(kInvalidUnicode, "Invalid Unicode")
ZRQ_TEXT(kSha256ProviderFailed, "SHA256 provider failed")
ZRQ_TEXT(kSha256CreationFailed, "SHA256 creation failed")
ZRQ_TEXT(kSha256UpdateFailed, "SHA256 update failed")
ZRQ_TEXT(kSha256FinishFailed, "SHA256 finish failed")
ZRQ_TEXT(kHashLengthFailed, "Hash length failed")

}  // namespace cv::msg

#undef ZRQ_TEXT
