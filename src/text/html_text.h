// Text for HTML pages. Whatever bytes a name holds, it reaches a page as
// text: markup characters become character references, and characters a
// page must not hold raw become visible stand-ins, so that the page is
// well-formed UTF-8 that no name can add elements to.
#pragma once

#include <string>
#include <string_view>

// Appends text escaped for element content and quoted attribute values:
// & < > " ' as character references; C0 controls U+0000-U+001F as their
// control pictures U+2400-U+241F and DEL as U+2421; C1 controls, noncharacters
// and ill-formed UTF-8 as U+FFFD.
void appendHtmlText(std::string& out, std::string_view text);
