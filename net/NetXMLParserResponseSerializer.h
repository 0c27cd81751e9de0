#pragma once
// NetXMLParserResponseSerializer: accepts replies typed "application/xml" or "text/xml" and hands back an
// event-driven XML parser over their body, not yet started: the caller sets its delegate and parses.

#include <memory>

#include "net/NetHTTPResponseSerializer.h"

namespace ql {

class NetXMLParserResponseSerializer : public NetHTTPResponseSerializer {
    QL_OBJECT(NetXMLParserResponseSerializer, NetHTTPResponseSerializer)
public:
    NetXMLParserResponseSerializer();
    static std::shared_ptr<NetXMLParserResponseSerializer> serializer();

    // A ns::XMLParser object over the body, or nil without a body or for a refused reply it must not read.
    ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data,
                                        std::optional<ns::Error>* error) const override;
};

}  // namespace ql
