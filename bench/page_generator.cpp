#include "page_generator.h"

#include <cstdint>
#include <iterator>
#include <stdexcept>

#include "core/encoding/converter.h"

namespace {

// A small fixed-seed generator: the same page on every machine and every run.
class Random {
public:
    std::uint32_t below(std::uint32_t bound) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ % bound);
    }

private:
    std::uint64_t state_ = 0x2004'0409'5eed'1234;
};

const char *const kWords[] = {
    "销售额",   "北京市", "上海",   "季度报告", "合计",     "产品名称", "数量",   "单价",
    "备注",     "已完成", "待审核", "客户",     "华东地区", "增长率",   "访问量", "用户",
    "订单编号", "发货",   "退款",   "网页",     "说明",     "，",       "。",     "（",
    "）",       "：",     "2004",   "Q3",       "OK",       "&nbsp;",   "42.5%",  "No.",
};

const char *const kHeader[] = {
    "<!DOCTYPE html>",
    "<html>",
    "  <head>",
    "    <meta http-equiv=\"Content-Type\" content=\"text/html\">",
    "    <title>  二〇〇四年销售报表  </title>",
    "  </head>",
    "  <body>",
    "    <div class=\"report\">",
    "      <table border=\"1\" cellpadding=\"2\">",
};

const char *const kFooter[] = {
    "      </table>",
    "    </div>",
    "  </body>",
    "</html>",
};

constexpr qsizetype kFooterRoom = 128;
constexpr qsizetype kLongestRow = 1024;
constexpr qsizetype kCodeSampleRoom = 512;

void appendRaw(QByteArray &page, const char *line) {
    page.append(line);
    page.append("\r\n");
}

// A line as careless generators write it: indented, often with spaces left behind at the end.
void appendLine(QByteArray &page, Random &random, int indent, QByteArrayView content) {
    page.append(indent + static_cast<int>(random.below(3)) * 2, ' ');
    page.append(content);
    page.append(random.below(2) ? static_cast<int>(random.below(9)) : 0, ' ');
    page.append("\r\n");
}

QByteArray cellText(Random &random) {
    QByteArray text;
    const auto count = 1 + random.below(6);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i > 0 && random.below(4) == 0) text.append(' ');
        text.append(kWords[random.below(std::size(kWords))]);
    }
    return text;
}

QByteArray cell(Random &random) {
    QByteArray line = random.below(3) ? "<td>" : "<td align=\"right\">";
    line.append(random.below(2) ? random.below(4) : 0, ' ');
    line.append(cellText(random));
    line.append(random.below(2) ? random.below(4) : 0, ' ');
    line.append("</td>");
    return line;
}

// Now and then what real pages carry besides rows: blank lines, lines of spaces only, and
// tab-indented comments whose spaces behind the tab stay.
void appendNoise(QByteArray &page, Random &random, qsizetype row) {
    switch (random.below(8)) {
        case 0:
            page.append("\r\n");
            break;
        case 1:
            page.append(static_cast<int>(4 + random.below(12)), ' ');
            page.append("\r\n");
            break;
        case 2:
            page.append("\t  <!-- 第 " + QByteArray::number(row) + " 组数据 -->  \r\n");
            break;
        default:
            break;
    }
}

void appendRow(QByteArray &page, Random &random, qsizetype row) {
    appendLine(page, random, 8, row % 2 ? "<tr class=\"odd\">" : "<tr class=\"even\">");
    const auto cells = 3 + random.below(4);
    for (std::uint32_t i = 0; i < cells; ++i) appendLine(page, random, 10, cell(random));
    appendLine(page, random, 8, "</tr>");
    appendNoise(page, random, row);
}

// A code sample as documentation pages show it: a row of its own whose lines keep their
// indentation and the spaces at their ends.
const char *const kCodeSample[] = {
    "        <tr><td colspan=\"6\"><pre class=\"code\">def 合计(rows):  ",
    "    total = 0",
    "    for row in rows:   ",
    "        if row.status == \"已完成\":",
    "            total += row.amount  # 销售额",
    "    return total  ",
    "</pre></td></tr>",
};

QByteArray generate(qsizetype size, qsizetype linesPerCodeSample) {
    QByteArray page;
    page.reserve(size);
    Random random;
    for (const char *line : kHeader) appendRaw(page, line);
    const qsizetype room =
        kFooterRoom + kLongestRow + (linesPerCodeSample > 0 ? kCodeSampleRoom : 0);
    qsizetype linesSinceSample = 0;
    for (qsizetype row = 0; page.size() < size - room; ++row) {
        const qsizetype before = page.size();
        appendRow(page, random, row);
        linesSinceSample += QByteArrayView(page).sliced(before).count('\n');
        if (linesPerCodeSample > 0 && linesSinceSample >= linesPerCodeSample) {
            for (const char *line : kCodeSample) appendRaw(page, line);
            linesSinceSample = 0;
        }
    }
    for (const char *line : kFooter) appendRaw(page, line);
    return page;
}

}  // namespace

QByteArray generatePage(qsizetype size) {
    return generate(size, 0);
}

QByteArray generatePreBlockPage(qsizetype size) {
    return generate(size, 100);
}

QByteArray generateOneLinePage(qsizetype size) {
    // Trimming takes off much less than half of the page.
    const QByteArray page = generatePage(2 * size);
    QByteArray line;
    line.reserve(size);
    for (qsizetype start = 0; line.size() < size;) {
        const qsizetype end = page.indexOf("\r\n", start);
        if (end < 0) throw std::runtime_error("the page is too short for a line of that size");
        line.append(QByteArrayView(page).sliced(start, end - start).trimmed());
        start = end + 2;
    }
    // Ends with a tag, never inside a character.
    line.truncate(line.lastIndexOf('>', size - 1) + 1);
    return line;
}

QByteArray toGb18030(QByteArrayView utf8) {
    auto gb = encodeDocument(utf8, FileEncoding::Gb18030);
    if (!std::holds_alternative<QByteArray>(gb)) throw std::runtime_error("page not convertible");
    return std::get<QByteArray>(std::move(gb));
}
