#pragma once
// The notifications the session stack posts (default centre) and the keys of the task-complete
// notification's user information.

#include <string_view>

namespace ql {

// Every session task, on the thread that resumed or suspended it, when it was not already running or
// suspended; object: the task.
inline constexpr std::string_view NetURLSessionTaskDidResumeNotification = "com.varnholt.networking.nsurlsessiontask.resume";
inline constexpr std::string_view NetURLSessionTaskDidSuspendNotification =
    "com.varnholt.networking.nsurlsessiontask.suspend";

// A session manager's own tasks, on the main queue; object: the task.
inline constexpr std::string_view NetNetworkingTaskDidResumeNotification = "com.varnholt.networking.task.resume";
inline constexpr std::string_view NetNetworkingTaskDidSuspendNotification = "com.varnholt.networking.task.suspend";
// On the main queue after the completion handler; object: the task, user information: the keys below.
inline constexpr std::string_view NetNetworkingTaskDidCompleteNotification = "com.varnholt.networking.task.complete";

// Object: the download task; user information: the move error's.
inline constexpr std::string_view NetURLSessionDownloadTaskDidFailToMoveFileNotification =
    "com.varnholt.networking.session.download.file-manager-error";
// Object: the session.
inline constexpr std::string_view NetURLSessionDidInvalidateNotification = "com.varnholt.networking.session.invalidate";

inline constexpr std::string_view NetNetworkingTaskDidCompleteResponseSerializerKey =
    "com.varnholt.networking.task.complete.responseserializer";
inline constexpr std::string_view NetNetworkingTaskDidCompleteAssetPathKey = "com.varnholt.networking.task.complete.assetpath";
// Without ".task", unlike its neighbours.
inline constexpr std::string_view NetNetworkingTaskDidCompleteResponseDataKey =
    "com.varnholt.networking.complete.finish.responsedata";
inline constexpr std::string_view NetNetworkingTaskDidCompleteSerializedResponseKey =
    "com.varnholt.networking.task.complete.serializedresponse";
inline constexpr std::string_view NetNetworkingTaskDidCompleteErrorKey = "com.varnholt.networking.task.complete.error";

}  // namespace ql
