#include "text/ConfigReader.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "text/ConfigExport.h"
#include "text/ConfigSchema.h"
#include "text/HexRuns.h"
#include "text/ValueCheck.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kVersionKey = "tr5906-config";
constexpr const char* kProgramKey = "program";
constexpr const char* kSourceKey = "source";
constexpr const char* kBytesKey = "bytes";

QString Str(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

/// A place in the text: yaml-cpp counts from 0 (and gives -1 for no place).
ScalarValue At(const YAML::Mark& mark) {
  ScalarValue at;
  at.line = mark.line < 0 ? 0 : mark.line + 1;
  at.column = mark.column < 0 ? 0 : mark.column + 1;
  return at;
}

ScalarValue ScalarOf(const YAML::Node& node) {
  ScalarValue v = At(node.Mark());
  switch (node.Type()) {
    case YAML::NodeType::Map:
      v.shape = QStringLiteral("map");
      break;
    case YAML::NodeType::Sequence:
      v.shape = QStringLiteral("list");
      break;
    case YAML::NodeType::Scalar: {
      v.text = Str(node.Scalar());
      const QString tag = Str(node.Tag());
      v.quoted = tag == QLatin1String("!");  // the tag of a quoted scalar
      if (tag != QLatin1String("!") && tag != QLatin1String("?")) v.tag = tag;
      break;
    }
    default:
      v.missing = true;
      break;
  }
  return v;
}

/// Levenshtein distance.
int Distance(const QString& a, const QString& b) {
  std::vector<int> row(static_cast<size_t>(b.size()) + 1);
  for (size_t j = 0; j < row.size(); ++j) row[j] = static_cast<int>(j);
  for (qsizetype i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (qsizetype j = 1; j <= b.size(); ++j) {
      const int above = row[static_cast<size_t>(j)];
      const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[static_cast<size_t>(j)] =
          std::min(std::min(above, row[static_cast<size_t>(j - 1)]) + 1, diagonal + cost);
      diagonal = above;
    }
  }
  return row.back();
}

/// Where each document of a text starts: only the marks are kept.
class DocumentStarts : public YAML::EventHandler {
 public:
  std::vector<YAML::Mark> starts;
  void OnDocumentStart(const YAML::Mark& mark) override { starts.push_back(mark); }
  void OnDocumentEnd() override {}
  void OnNull(const YAML::Mark&, YAML::anchor_t) override {}
  void OnAlias(const YAML::Mark&, YAML::anchor_t) override {}
  void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t,
                const std::string&) override {}
  void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                       YAML::EmitterStyle::value) override {}
  void OnSequenceEnd() override {}
  void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                  YAML::EmitterStyle::value) override {}
  void OnMapEnd() override {}
};

/// An error of the whole text.
ConfigCheck TextError(const YAML::Mark& mark, const QString& english, const QString& chinese) {
  ConfigCheck check;
  check.errors.push_back(ValueCheck::Error(At(mark), QString(), english, chinese));
  return check;
}

class Walker {
 public:
  explicit Walker(const ConfigReader::Options& options) : options_(options) {}

  ConfigCheck Walk(const YAML::Node& root) {
    if (root.IsNull()) {
      Fail(At(root.Mark()), QString(), QStringLiteral("the text holds no configuration"),
           QStringLiteral("文本中没有任何配置"));
      return result_;
    }
    if (!root.IsMap()) {
      Fail(At(root.Mark()), QString(),
           QStringLiteral("the text is not a map of groups (serial_ports:, communication:, ...)"),
           QStringLiteral("文本不是分组的映射（serial_ports:、communication: 等）"));
      return result_;
    }
    // A newer format is refused before its keys are judged by this one.
    for (const auto& pair : root)
      if (pair.first.IsScalar() && pair.first.Scalar() == kVersionKey && !Version(pair.second))
        return result_;
    QHash<QString, int> seen;
    for (const auto& pair : root) {
      QString key;
      if (!Key(pair.first, &seen, &key)) continue;
      FieldGroup group;
      if (key == QLatin1String(kVersionKey)) continue;
      if (key == QLatin1String(kProgramKey) || key == QLatin1String(kSourceKey)) {
        Header(key, pair.second);
      } else if (key == QLatin1String(kBytesKey)) {
        Bytes(pair.second);
      } else if (ConfigSchema::GroupOfKey(key, &group)) {
        Group(group, key, pair.second);
      } else if (const ConfigSchema::Rule* rule = ConfigSchema::Find(key)) {
        Fail(ScalarOf(pair.first), key,
             QStringLiteral("belongs under `%1`").arg(ConfigSchema::GroupKey(rule->group)),
             QStringLiteral("应在 `%1` 下").arg(ConfigSchema::GroupKey(rule->group)));
      } else {
        Unknown(pair.first, key);
      }
    }
    CheckOverlaps();
    std::stable_sort(result_.errors.begin(), result_.errors.end(),
                     [](const ConfigError& a, const ConfigError& b) {
                       return a.line != b.line ? a.line < b.line : a.column < b.column;
                     });
    return result_;
  }

  void Fail(const ScalarValue& at, const QString& name, const QString& english,
            const QString& chinese) {
    result_.errors.push_back(ValueCheck::Error(at, name, english, chinese));
  }

 private:
  /// A key of a map, once: false (with an error) for a key that is no name
  /// or is given twice.
  bool Key(const YAML::Node& node, QHash<QString, int>* seen, QString* key) {
    const ScalarValue at = ScalarOf(node);
    if (!node.IsScalar()) {
      Fail(at, QString(), QStringLiteral("a key must be a name"), QStringLiteral("键必须是名字"));
      return false;
    }
    *key = at.text;
    const auto first = seen->constFind(*key);
    if (first != seen->constEnd()) {
      Fail(at, *key, QStringLiteral("given twice (first on line %1)").arg(*first),
           QStringLiteral("重复给出（第一次在第 %1 行）").arg(*first));
      return false;
    }
    seen->insert(*key, at.line);
    return true;
  }

  void Unknown(const YAML::Node& node, const QString& key) {
    const QString near = ConfigReader::Suggest(key);
    Fail(ScalarOf(node), key,
         QStringLiteral("unknown key") +
             (near.isEmpty() ? QString() : QStringLiteral("; did you mean `%1`?").arg(near)),
         QStringLiteral("未知的键") +
             (near.isEmpty() ? QString() : QStringLiteral("，是否应为 `%1`？").arg(near)));
  }

  bool Version(const YAML::Node& node) {
    const ScalarValue v = ScalarOf(node);
    static const QRegularExpression whole(QStringLiteral("^\\d{1,6}$"));
    const QString name = QString::fromLatin1(kVersionKey);
    if (!v.shape.isEmpty() || v.missing || v.quoted || !v.tag.isEmpty() ||
        !whole.match(v.text).hasMatch() || v.text.toInt() < 1) {
      Fail(v, name, QStringLiteral("takes the format version, a whole number"),
           QStringLiteral("应为格式版本（整数）"));
      return true;
    }
    if (v.text.toInt() <= ConfigExport::kFormatVersion) return true;
    Fail(v, name,
         QStringLiteral("format version %1 is newer than this program reads (%2)")
             .arg(v.text)
             .arg(ConfigExport::kFormatVersion),
         QStringLiteral("格式版本 %1 比本程序能读的版本（%2）新")
             .arg(v.text)
             .arg(ConfigExport::kFormatVersion));
    return false;
  }

  void Header(const QString& key, const YAML::Node& node) {
    const ScalarValue v = ScalarOf(node);
    if (v.shape.isEmpty()) return;
    Fail(v, key, QStringLiteral("takes a text, not a %1").arg(v.shape),
         QStringLiteral("应为文本，而不是%1")
             .arg(v.shape == QLatin1String("map") ? QStringLiteral("映射")
                                                  : QStringLiteral("列表")));
  }

  /// A map's pairs, or an error for anything else (nothing is an empty map).
  bool IsMapOf(const YAML::Node& node, const QString& key, const QString& english,
               const QString& chinese) {
    if (node.IsMap() || node.IsNull()) return node.IsMap();
    const ScalarValue v = ScalarOf(node);
    Fail(v, key, QStringLiteral("takes a map of %1").arg(english),
         QStringLiteral("应为%1的映射").arg(chinese));
    return false;
  }

  void Group(FieldGroup group, const QString& groupKey, const YAML::Node& node) {
    if (!IsMapOf(node, groupKey, QStringLiteral("fields"), QStringLiteral("字段"))) return;
    QHash<QString, int> seen;
    for (const auto& pair : node) {
      QString name;
      if (!Key(pair.first, &seen, &name)) continue;
      const ConfigSchema::Rule* rule = ConfigSchema::Find(name);
      if (rule == nullptr) {
        Unknown(pair.first, name);
        continue;
      }
      if (rule->group != group) {
        const QString home = ConfigSchema::GroupKey(rule->group);
        Fail(ScalarOf(pair.first), name,
             QStringLiteral("belongs under `%1`, not `%2`").arg(home, groupKey),
             QStringLiteral("应在 `%1` 下，而不是 `%2`").arg(home, groupKey));
        continue;
      }
      Assignment a;
      ScalarValue value = ScalarOf(pair.second);
      if (value.missing) {  // nothing has no place of its own: the key's
        const ScalarValue key = ScalarOf(pair.first);
        value.line = key.line;
        value.column = key.column;
      }
      if (ValueCheck::Check(*rule, value, options_.longestSerial, &a, &result_.errors))
        result_.changes.fields.push_back(a);
    }
  }

  void Bytes(const YAML::Node& node) {
    const QString name = QString::fromLatin1(kBytesKey);
    if (!IsMapOf(node, name, QStringLiteral("runs"), QStringLiteral("字节串"))) return;
    static const QRegularExpression offset(QStringLiteral("^\\d{1,5}$"));
    QHash<QString, int> seen;
    for (const auto& pair : node) {
      QString key;
      if (!Key(pair.first, &seen, &key)) continue;
      ByteRun run;
      const ScalarValue v = ScalarOf(pair.second);
      run.line = v.line;
      run.column = v.column;
      run.offset = key.toInt();
      if (!offset.match(key).hasMatch() || run.offset >= ParameterImage::kSize) {
        Fail(ScalarOf(pair.first), name,
             QStringLiteral("%1 is no offset in the image (0 to %2)")
                 .arg(key)
                 .arg(ParameterImage::kSize - 1),
             QStringLiteral("%1 不是映像中的偏移（0 到 %2）")
                 .arg(key)
                 .arg(ParameterImage::kSize - 1));
        continue;
      }
      if (!v.shape.isEmpty() || v.missing || !v.tag.isEmpty() ||
          !HexRuns::Decode(v.text, ParameterImage::kSize - run.offset, &run.bytes)) {
        Fail(v, name,
             QStringLiteral("%1: takes bytes in hexadecimal that end inside the image").arg(key),
             QStringLiteral("%1：应为十六进制字节，且不超出映像").arg(key));
        continue;
      }
      result_.changes.runs.push_back(run);
    }
  }

  void CheckOverlaps() {
    QList<ByteRun> runs = result_.changes.runs;
    std::stable_sort(runs.begin(), runs.end(),
                     [](const ByteRun& a, const ByteRun& b) { return a.offset < b.offset; });
    for (qsizetype i = 1; i < runs.size(); ++i) {
      const ByteRun& before = runs[i - 1];
      if (runs[i].offset >= before.offset + before.bytes.size()) continue;
      ScalarValue at;
      at.line = runs[i].line;
      at.column = runs[i].column;
      Fail(at, QString::fromLatin1(kBytesKey),
           QStringLiteral("%1: overlaps the run on line %2").arg(runs[i].offset).arg(before.line),
           QStringLiteral("%1：与第 %2 行的字节串重叠").arg(runs[i].offset).arg(before.line));
    }
  }

  const ConfigReader::Options& options_;
  ConfigCheck result_;
};

}  // namespace

ConfigCheck ConfigReader::Read(const QByteArray& text, const Options& options) {
  Walker walker(options);
  try {
    // The first two documents' starts: a second one is refused, and so is a
    // text the parser cannot get past (it then starts the same empty
    // document again and again at one place).
    std::istringstream in(text.toStdString());
    YAML::Parser parser(in);
    DocumentStarts documents;
    for (int k = 0; k < 2 && parser.HandleNextDocument(documents); ++k) {
    }
    if (documents.starts.size() > 1) {
      const YAML::Mark& second = documents.starts[1];
      if (second.pos == documents.starts[0].pos)
        return TextError(second, QStringLiteral("YAML syntax: cannot read on from here"),
                         QStringLiteral("YAML 语法错误：无法从此处读下去"));
      return TextError(second, QStringLiteral("the text holds more than one document"),
                       QStringLiteral("文本包含多个文档"));
    }
    return walker.Walk(YAML::Load(text.toStdString()));
  } catch (const YAML::Exception& e) {
    ConfigCheck check;
    ScalarValue at = At(e.mark);
    ConfigError error;
    error.line = at.line;
    error.column = at.column;
    error.english = QStringLiteral("YAML syntax: ") + Str(e.msg);
    error.chinese = QStringLiteral("YAML 语法错误：") + Str(e.msg);
    check.errors.push_back(error);
    return check;
  } catch (const std::exception& e) {
    ConfigCheck check;
    ConfigError error;
    error.english = QStringLiteral("cannot read the text: ") + QString::fromLocal8Bit(e.what());
    error.chinese = QStringLiteral("无法读取文本：") + QString::fromLocal8Bit(e.what());
    check.errors.push_back(error);
    return check;
  }
}

ConfigCheck ConfigReader::ReadArguments(const QStringList& arguments, const Options& options) {
  ConfigCheck check;
  QSet<QString> seen;
  for (const QString& argument : arguments) {
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    const QString name = argument.left(equals);
    ScalarValue value;
    value.text = argument.mid(equals + 1);
    const ConfigSchema::Rule* rule = equals > 0 ? ConfigSchema::Find(name) : nullptr;
    if (equals <= 0) {
      check.errors.push_back(ValueCheck::Error(value, argument, QStringLiteral("takes NAME=VALUE"),
                                               QStringLiteral("应为 名称=值")));
    } else if (rule == nullptr) {
      const QString near = Suggest(name);
      check.errors.push_back(ValueCheck::Error(
          value, name,
          QStringLiteral("unknown field") +
              (near.isEmpty() ? QString() : QStringLiteral("; did you mean `%1`?").arg(near)),
          QStringLiteral("未知的字段") +
              (near.isEmpty() ? QString() : QStringLiteral("，是否应为 `%1`？").arg(near))));
    } else if (seen.contains(name)) {
      check.errors.push_back(ValueCheck::Error(value, name, QStringLiteral("given twice"),
                                               QStringLiteral("重复给出")));
    } else {
      seen.insert(name);
      Assignment a;
      if (ValueCheck::Check(*rule, value, options.longestSerial, &a, &check.errors))
        check.changes.fields.push_back(a);
    }
  }
  return check;
}

QString ConfigReader::Suggest(const QString& key) {
  QStringList known = {QString::fromLatin1(kVersionKey), QString::fromLatin1(kProgramKey),
                       QString::fromLatin1(kSourceKey), QString::fromLatin1(kBytesKey)};
  for (FieldGroup group : ConfigSchema::Groups()) known << ConfigSchema::GroupKey(group);
  for (const ConfigSchema::Rule& rule : ConfigSchema::Rules()) known << rule.Name();
  QString best;
  if (key.size() > 64) return best;  // no name is that long
  int bestDistance = std::max<int>(2, static_cast<int>(key.size()) / 3) + 1;
  const QString lower = key.toLower();
  for (const QString& name : known) {
    // Lengths further apart than the best distance cannot come nearer.
    if (std::abs(static_cast<int>(name.size() - lower.size())) >= bestDistance) continue;
    const int d = Distance(lower, name);
    if (d < bestDistance) {
      best = name;
      bestDistance = d;
    }
  }
  return best;
}
