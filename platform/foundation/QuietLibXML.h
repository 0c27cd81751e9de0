#pragma once
// The setting every libxml2 reader of the platform runs in: the library initialised once per process and kept
// to its end, and its per-thread generic error handler (which prints to standard error) silenced, since the
// readers answer failures as values. Included by sources of this library only: libxml2 is private to it.

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <string.h>

#include <cstdlib>
#include <mutex>

namespace ql::ns::detail {

class QuietLibXML {
public:
    QuietLibXML() {
        static std::once_flag initialised;
        std::call_once(initialised, [] {
            keepTheLibraryToTheEnd();
            xmlInitParser();
        });
        handler_ = xmlGenericError;
        context_ = xmlGenericErrorContext;
        xmlSetGenericErrorFunc(nullptr, ignore);
    }
    ~QuietLibXML() { xmlSetGenericErrorFunc(context_, handler_); }
    QuietLibXML(const QuietLibXML&) = delete;
    QuietLibXML& operator=(const QuietLibXML&) = delete;

private:
    static void ignore(void*, const char*, ...) {}

    // As the program unloads, the library frees its state (its dictionaries' lock, its encodings, its per-thread
    // keys) under threads that may still be reading, unless its memory is handed out by functions other than the
    // C library's own. These are, over the C library's: the state then lives until the process is gone. A program
    // that installed an allocator of its own keeps it: blocks it handed out before must go back to it, and with
    // it the library frees nothing as it unloads either.
    static void keepTheLibraryToTheEnd() {
        xmlFreeFunc freeing = nullptr;
        xmlMallocFunc allocating = nullptr;
        xmlReallocFunc reallocating = nullptr;
        xmlStrdupFunc copying = nullptr;
        if (xmlMemGet(&freeing, &allocating, &reallocating, &copying) != 0) return;
        if (freeing != &::free || allocating != &::malloc || reallocating != &::realloc) return;
        xmlMemSetup([](void* block) { std::free(block); }, [](std::size_t size) { return std::malloc(size); },
                    [](void* block, std::size_t size) { return std::realloc(block, size); },
                    [](const char* text) { return ::strdup(text); });
    }

    xmlGenericErrorFunc handler_;
    void* context_;
};

}  // namespace ql::ns::detail
