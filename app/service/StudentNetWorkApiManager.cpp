#include "app/service/StudentNetWorkApiManager.h"

#include <cstdlib>

#include "mapping/MMKeyValue.h"

namespace ql {

namespace {

void post(std::string_view path, const BaseReq& params, StudentNetWorkApiManager::Completion completion,
          StudentNetWorkApiManager::Failure failure) {
    BaseNetHTTPManager::postRequestOperationForHost(StudentNetWorkApiManager::serviceBaseURL(), std::string(path),
                                                    mm_keyValues(params), std::move(completion), std::move(failure));
}

}  // namespace

std::string StudentNetWorkApiManager::serviceBaseURL() {
    const char* configured = std::getenv(ServiceBaseURLEnvironmentVariable.data());
    if (!configured || !*configured) return std::string(DefaultServiceBaseURL);
    std::string url = configured;
    if (!url.ends_with('/')) url += '/';
    return url;
}

// The paths are what goes on the wire; three of them differ from the operation's name.
#define QL_SERVICE_OPERATION(Name, Request, Path)                                                                \
    void StudentNetWorkApiManager::request_##Name##_WithParams(const Request& params, Completion completion,      \
                                                               Failure failure) {                                 \
        post(Path, params, std::move(completion), std::move(failure));                                            \
    }

QL_SERVICE_OPERATION(Login, LoginReq, "Mobile/StudentLogin")
QL_SERVICE_OPERATION(SendVerification, SendVerificationReq, "Mobile/SendVerification")
QL_SERVICE_OPERATION(ForgetVerification, GetPasswordForgetReq, "Mobile/GetPasswordForget")
QL_SERVICE_OPERATION(ConfirmVerification, ConfirmVerificationReq, "Mobile/ConfirmVerification")
QL_SERVICE_OPERATION(GetBookSortTree, GetBookSortTreeReq, "Mobile/GetBookSortTree")
QL_SERVICE_OPERATION(GetBookList, GetBookListReq, "Mobile/GetBookList")
QL_SERVICE_OPERATION(GetBookDetailShow, GetBookDetailShowReq, "Mobile/GetBookDetailShow")
QL_SERVICE_OPERATION(GetCommentShow, GetCommentShowReq, "Mobile/GetCommentShow")
QL_SERVICE_OPERATION(AddComment, AddCommentReq, "Mobile/AddComment")
QL_SERVICE_OPERATION(GetRecommendBookList, GetRecommendBookListReq, "Mobile/GetRecommendBookList")
QL_SERVICE_OPERATION(AddBookCollect, AddBookCollectReq, "Mobile/AddBookCollect")
QL_SERVICE_OPERATION(DeleteBookCollect, DeleteBookCollectReq, "Mobile/DeleteBookCollect")
QL_SERVICE_OPERATION(AddGood, AddGoodReq, "Mobile/AddGood")
QL_SERVICE_OPERATION(CancelGood, CancelGoodReq, "Mobile/CancelGood")
QL_SERVICE_OPERATION(CreateExamByBook, CreateExamReq, "Mobile/CreateExamByBook")
QL_SERVICE_OPERATION(SubmitExamByBook, SubmitAnserReq, "Mobile/SaveStudentAnswer")
QL_SERVICE_OPERATION(GetMyTestDetail, CreateExamReq, "Mobile/GetMyTestDetail")
QL_SERVICE_OPERATION(GetMyTestInfo, CollectListReq, "Mobile/GetMyTestInfo")
QL_SERVICE_OPERATION(GetMyCollectionInfo, CollectListReq, "Mobile/GetMyCollectionInfo")
QL_SERVICE_OPERATION(AddBookFeel, AddBookFeelReq, "Mobile/AddBookFeel")
QL_SERVICE_OPERATION(GetMyInfor, BaseReq, "Mobile/GetMyUserInfor")
QL_SERVICE_OPERATION(SetNewPassword, SetNewPasswordReq, "Mobile/SetNewPassword")
QL_SERVICE_OPERATION(PhotoUpdate, PhotoUpdateReq, "Mobile/PhotoUpdate")
QL_SERVICE_OPERATION(GetMyRank, RankReq, "Mobile/GetMyRank")
QL_SERVICE_OPERATION(ChangeMobile, ChangeMobileReq, "Mobile/ChangeMobile")
QL_SERVICE_OPERATION(GetStudentPersonHomeIndex, GetStudentPersonHomeIndexReq, "Mobile/GetStudentPersonHomeIndex")
QL_SERVICE_OPERATION(GetSingleFeel, GetSingleFeelReq, "Mobile/GetSingleFeel")
QL_SERVICE_OPERATION(GetStuIndexContent, GetStuIndexContentReq, "Mobile/GetStuIndexContent")
QL_SERVICE_OPERATION(DeleteComment, DeleteCommentReq, "Mobile/DeleteComment")

#undef QL_SERVICE_OPERATION

}  // namespace ql
