#include "link/EnglishLines.h"

namespace {

struct Line {
  const char* chinese;
  const char* english;
};

// Whole lines.
const Line kLines[] = {
    {"读取数据", "Reading data"},
    {"设置数据", "Writing data"},
    {"自动匹配", "Detecting the format"},
    {"读取成功!", "Read succeeded!"},
    {"读取失败!", "Read failed!"},
    {"读取失败", "Read failed"},
    {"写入失败", "Write failed"},
    {"读取完毕!", "Read complete!"},
    {"设置成功", "Write succeeded"},
    {"读取数据失败!", "Reading data failed!"},
    {"设置数据失败!", "Writing data failed!"},
    {"自动匹配失败,请重新自动匹配或手动匹配!",
     "Format detection failed, detect again or set the format by hand!"},
    {"更新固件", "Updating firmware"},
    {"升级成功！", "Update succeeded!"},
    {"升级版本比机器版本低！禁止升级！",
     "The new firmware is older than the terminal's! Update refused!"},
    {"请重新选择端口！", "Please reselect COM port!"},
    {"检测连接！重试或取消？", "Check connection!Retry or cancel?"},
};

// Lines that go on with a value.
const Line kPrefixes[] = {
    {"自动匹配成功,匹配格式为:", "Format detected: "},
    {"串口格式无效:", "Invalid port format: "},
    {"串口错误:", "Port error: "},
    {"完成进度:", "Progress: "},
    {"读写失败,地址 = ", "Transfer failed at address "},
    {"固件版本:", "Firmware version: "},
    {"生产日期:", "Production date: "},
};

}  // namespace

QString EnglishLines::Of(const QString& line) {
  for (const Line& l : kLines)
    if (line == QString::fromUtf8(l.chinese)) return QString::fromUtf8(l.english);
  for (const Line& l : kPrefixes) {
    const QString prefix = QString::fromUtf8(l.chinese);
    if (line.startsWith(prefix)) return QString::fromUtf8(l.english) + line.mid(prefix.size());
  }
  return line;
}
