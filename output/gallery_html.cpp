#include "output/gallery_html.h"

#include <cctype>

namespace output {
namespace {

std::string authorLine() {
    return std::string("    <META NAME=Author CONTENT='Quillo Scrivlet 2 - ") + kMakerWebAddress + "'>";
}

std::string titleHead(std::string_view baseName) {
    return "<HTML> <HEAD> <TITLE>" + escapeHtml(baseName) + "</TITLE>" + authorLine();
}

// The gallery folder as a link from the frameset, escaped for the attribute.
std::string folderLink(std::string_view baseName) {
    return escapeHtml(percentEncode(baseName)) + "_files/";
}

}  // namespace

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string percentEncode(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

std::string framesetHtml(std::string_view baseName, std::string_view extension) {
    const std::string folder = folderLink(baseName);
    std::string html = titleHead(baseName);
    html += "  </HEAD>";
    html += "  <FRAMESET ROWS='24,*' FRAMEBORDER=yes BORDER=1 FRAMESPACING=0>";
    html += "    <FRAME SRC='" + folder + "header.html' NAME=head SCROLLING=NO>";
    html += "    <FRAMESET COLS='167,*' FRAMEBORDER=yes BORDER=1 FRAMESPACING=0>";
    html += "    <FRAME SRC='" + folder + "bottoms.html' NAME=bottoms>";
    html += "    <FRAME SRC='" + folder + "0001" + std::string(extension) + "'" + " NAME=win_right>";
    html += "    </FRAMESET>";
    html += "  </FRAMESET>";
    html += "</HTML>";
    return html;
}

std::string headerHtml(std::string_view baseName) {
    std::string html = titleHead(baseName);
    html += " <STYLE TYPE='text/css'>";
    html += " body {background:#E0E0F8;margin:0px 0px;padding:3px 50px;vertical-align:bottom;}";
    html +=
        " p.hd {font-family:Arial,Tahoma,Helvetica;font-size:10pt;font-style:italic;font-weight:bold;"
        "color:#0000A0;text-align:right;}";
    html += " </STYLE>";
    html += "  </HEAD>";
    html += " <p class=hd>" + escapeHtml(baseName) + "</p>";
    html += "  </body>";
    html += "</HTML>";
    return html;
}

std::string bottomsHead(std::string_view baseName) {
    std::string html = titleHead(baseName);
    html += " <STYLE TYPE='text/css'>";
    html += " body {background:#E0E0F8;margin:10px 2px;padding:0;vertical-align:top;line-height:80%;}";
    html +=
        " a:link,a:visited,a:hover {font-family:Arial,Tahoma,Helvetica;font-size:8pt;font-style:normal;"
        "font-weight:bold;text-decoration:none;}";
    html += " a:link {color:#0000FF;} a:visited {color:#6666BB;} a:hover {color:#F00000;}";
    html += " img {margin:10px 0 0 0;}";
    html += " </STYLE>";
    html += "  </HEAD>";
    html += "  <BODY><CENTER>";
    return html;
}

std::string bottomsLink(std::string_view pageNumber, std::string_view extension) {
    const std::string n(pageNumber);
    const std::string x(extension);
    return " <A HREF='" + n + x + "' TARGET=win_right><IMG SRC='" + n + "_" + x + "' VSPACE=2 BORDER=1><BR>" +
           n + "</A><BR>";
}

}  // namespace output
