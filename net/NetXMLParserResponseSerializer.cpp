#include "net/NetXMLParserResponseSerializer.h"

#include "platform/foundation/XMLParser.h"

namespace ql {

NetXMLParserResponseSerializer::NetXMLParserResponseSerializer() {
    setAcceptableContentTypes(ContentTypes{"application/xml", "text/xml"});
}

std::shared_ptr<NetXMLParserResponseSerializer> NetXMLParserResponseSerializer::serializer() {
    return std::make_shared<NetXMLParserResponseSerializer>();
}

ns::Value NetXMLParserResponseSerializer::responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                                    const std::optional<ns::Data>& data,
                                                                    std::optional<ns::Error>* error) const {
    if (!validateForParsing(response, data, error)) return ns::Value();
    if (!data) return ns::Value();
    return ns::Value(std::make_shared<ns::XMLParser>(*data));
}

}  // namespace ql
