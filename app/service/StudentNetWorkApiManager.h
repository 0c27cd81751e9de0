#pragma once
// The service client: one call per service operation, each posting its request model's properties as a
// form to the operation's path under the service base URL. The completion block receives the parsed
// reply (a refusal, `result` other than 1, included); the failure block a readable message when the
// request did not get a JSON reply. Both run on the main queue; mapping the reply is the caller's work.

#include <string>
#include <string_view>

#include "app/service/AccountModels.h"
#include "app/service/BaseNetHTTPManager.h"
#include "app/service/BookModels.h"
#include "app/service/ReadingModels.h"

namespace ql {

// Used when QUILLORY_SERVICE_URL is not set; where `standin-service --port 8080` listens.
inline constexpr std::string_view DefaultServiceBaseURL = "http://127.0.0.1:8080/";
inline constexpr std::string_view ServiceBaseURLEnvironmentVariable = "QUILLORY_SERVICE_URL";

class StudentNetWorkApiManager {
public:
    using Completion = BaseNetHTTPManager::Completion;
    using Failure = BaseNetHTTPManager::Failure;

    // QUILLORY_SERVICE_URL when set (read at every call, with a "/" added when it lacks one, since paths
    // are joined without a separator), else DefaultServiceBaseURL.
    static std::string serviceBaseURL();

    static void request_Login_WithParams(const LoginReq& params, Completion completion, Failure failure);
    static void request_SendVerification_WithParams(const SendVerificationReq& params, Completion completion,
                                                    Failure failure);
    static void request_ForgetVerification_WithParams(const GetPasswordForgetReq& params, Completion completion,
                                                      Failure failure);
    static void request_ConfirmVerification_WithParams(const ConfirmVerificationReq& params, Completion completion,
                                                       Failure failure);
    static void request_GetBookSortTree_WithParams(const GetBookSortTreeReq& params, Completion completion,
                                                   Failure failure);
    static void request_GetBookList_WithParams(const GetBookListReq& params, Completion completion, Failure failure);
    static void request_GetBookDetailShow_WithParams(const GetBookDetailShowReq& params, Completion completion,
                                                     Failure failure);
    static void request_GetCommentShow_WithParams(const GetCommentShowReq& params, Completion completion,
                                                  Failure failure);
    static void request_AddComment_WithParams(const AddCommentReq& params, Completion completion, Failure failure);
    static void request_GetRecommendBookList_WithParams(const GetRecommendBookListReq& params, Completion completion,
                                                        Failure failure);
    static void request_AddBookCollect_WithParams(const AddBookCollectReq& params, Completion completion,
                                                  Failure failure);
    static void request_DeleteBookCollect_WithParams(const DeleteBookCollectReq& params, Completion completion,
                                                     Failure failure);
    static void request_AddGood_WithParams(const AddGoodReq& params, Completion completion, Failure failure);
    static void request_CancelGood_WithParams(const CancelGoodReq& params, Completion completion, Failure failure);
    static void request_CreateExamByBook_WithParams(const CreateExamReq& params, Completion completion,
                                                    Failure failure);
    static void request_SubmitExamByBook_WithParams(const SubmitAnserReq& params, Completion completion,
                                                    Failure failure);
    static void request_GetMyTestDetail_WithParams(const CreateExamReq& params, Completion completion,
                                                   Failure failure);
    static void request_GetMyTestInfo_WithParams(const CollectListReq& params, Completion completion, Failure failure);
    static void request_GetMyCollectionInfo_WithParams(const CollectListReq& params, Completion completion,
                                                       Failure failure);
    static void request_AddBookFeel_WithParams(const AddBookFeelReq& params, Completion completion, Failure failure);
    static void request_GetMyInfor_WithParams(const BaseReq& params, Completion completion, Failure failure);
    static void request_SetNewPassword_WithParams(const SetNewPasswordReq& params, Completion completion,
                                                  Failure failure);
    static void request_PhotoUpdate_WithParams(const PhotoUpdateReq& params, Completion completion, Failure failure);
    static void request_GetMyRank_WithParams(const RankReq& params, Completion completion, Failure failure);
    static void request_ChangeMobile_WithParams(const ChangeMobileReq& params, Completion completion, Failure failure);
    static void request_GetStudentPersonHomeIndex_WithParams(const GetStudentPersonHomeIndexReq& params,
                                                             Completion completion, Failure failure);
    static void request_GetSingleFeel_WithParams(const GetSingleFeelReq& params, Completion completion,
                                                 Failure failure);
    static void request_GetStuIndexContent_WithParams(const GetStuIndexContentReq& params, Completion completion,
                                                      Failure failure);
    static void request_DeleteComment_WithParams(const DeleteCommentReq& params, Completion completion,
                                                 Failure failure);
};

}  // namespace ql
