#pragma once
// The setting every libxml2 reader of the platform runs in: the library initialised once per process, and
// its per-thread generic error handler (which prints to standard error) silenced, since the readers answer
// failures as values. Included by sources of this library only: libxml2 is private to it.

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <mutex>

namespace ql::ns::detail {

class QuietLibXML {
public:
    QuietLibXML() {
        static std::once_flag initialised;
        std::call_once(initialised, xmlInitParser);
        handler_ = xmlGenericError;
        context_ = xmlGenericErrorContext;
        xmlSetGenericErrorFunc(nullptr, ignore);
    }
    ~QuietLibXML() { xmlSetGenericErrorFunc(context_, handler_); }
    QuietLibXML(const QuietLibXML&) = delete;
    QuietLibXML& operator=(const QuietLibXML&) = delete;

private:
    static void ignore(void*, const char*, ...) {}

    xmlGenericErrorFunc handler_;
    void* context_;
};

}  // namespace ql::ns::detail
