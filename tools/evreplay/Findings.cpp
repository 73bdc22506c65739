#include "Findings.h"

#include "JsonText.h"

namespace evreplay {

namespace {

// Control characters (C0, DEL, C1) of `text` as \xNN or \u00NN; the rest as
// it is (valid UTF-8 by then).
void AppendShown(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      const auto c1 = static_cast<unsigned char>(text[++i]);
      out += "\\u00";
      out += kHex[c1 >> 4];
      out += kHex[c1 & 15];
    } else {
      out += text[i];
    }
  }
}

void AppendIsoTime(std::string& out, const EventTime& time) { AppendTime(out, time); }

// ---- JSON lines: the shape pipelines already read --------------------------------

void AppendField(std::string& out, std::string_view name) {
  out += ",\"";
  out += name;
  out += "\":";
}
void AppendTextField(std::string& out, std::string_view name, std::string_view text) {
  AppendField(out, name);
  AppendJsonString(out, text);
}
void AppendNumberField(std::string& out, std::string_view name, int64_t number) {
  AppendField(out, name);
  AppendNumber(out, number);
}

class JsonLines final : public FindingWriter {
 public:
  void Append(std::string& out, const Finding& f) override {
    out += "{\"time\":\"";
    AppendIsoTime(out, f.time);
    out += '"';
    AppendTextField(out, "host", f.host);
    AppendField(out, "record");
    if (f.hasRecord) AppendNumber(out, f.record);
    else out += "null";
    if (f.isProcess) {
      out += ",\"event\":\"process\"";
      AppendTextField(out, "process", f.process);
      AppendTextField(out, "target", f.target);
      AppendTextField(out, "commandLine", f.commandLine);
      AppendNumberField(out, "flags", int64_t{f.flags});
    } else {
      out += ",\"event\":\"registry\"";
      AppendTextField(out, "process", f.process);
      AppendTextField(out, "key", f.key);
      AppendTextField(out, "value", f.value);
      AppendNumberField(out, "operation", int64_t{f.operation});
    }
    AppendNumberField(out, "result", int64_t{f.result});
    if (f.reported) {
      AppendNumberField(out, "kind", int64_t{f.kind});
      AppendTextField(out, "verdict", f.verdict);
      AppendTextField(out, "path", f.path);
    }
    if (f.explain) {
      AppendField(out, "explain");
      if (f.row == nullptr) {
        out += '{';
        if (!f.unit.empty()) {
          out += "\"unit\":";
          AppendJsonString(out, f.unit);
          out += ',';
        }
        out += "\"rule\":";
        AppendJsonString(out, f.rule);
        out += '}';
      } else {
        out += "{\"unit\":";
        AppendJsonString(out, f.row->unit);
        if (!f.row->table.empty()) {
          AppendTextField(out, "table", f.row->table);
          AppendNumberField(out, "row", int64_t{f.row->row});
        }
        AppendTextField(out, "rule", f.row->rule);
        out += '}';
      }
    }
    out += "}\n";
  }
};

// ---- CSV: a timeline, RFC 4180 ---------------------------------------------------

class Csv final : public FindingWriter {
 public:
  explicit Csv(bool explain) : explain_(explain) {}

  void Append(std::string& out, const Finding& f) override {
    if (!headerWritten_) {
      out += "time,computer,record,event,result,result_name,kind,verdict,path,process,target,command_line,flags,key,"
             "value,operation";
      if (explain_) out += ",unit,table,row,rule";
      out += "\r\n";
      headerWritten_ = true;
    }
    AppendIsoTime(out, f.time);
    Text(out, f.host);
    out += ',';
    if (f.hasRecord) AppendNumber(out, f.record);
    out += f.isProcess ? ",process," : ",registry,";
    AppendNumber(out, int64_t{f.result});
    Text(out, ResultName(f.result));
    out += ',';
    if (f.reported) AppendNumber(out, int64_t{f.kind});
    Text(out, f.reported ? f.verdict : std::string_view());
    Text(out, f.reported ? f.path : std::string_view());
    Text(out, f.process);
    Text(out, f.isProcess ? f.target : std::string_view());
    Text(out, f.isProcess ? f.commandLine : std::string_view());
    out += ',';
    if (f.isProcess) AppendNumber(out, int64_t{f.flags});
    Text(out, f.isProcess ? std::string_view() : f.key);
    Text(out, f.isProcess ? std::string_view() : f.value);
    out += ',';
    if (!f.isProcess) AppendNumber(out, int64_t{f.operation});
    if (explain_) {
      Text(out, f.row != nullptr ? f.row->unit : f.unit);
      Text(out, f.row != nullptr ? f.row->table : std::string_view());
      out += ',';
      if (f.row != nullptr && f.row->row != 0) AppendNumber(out, int64_t{f.row->row});
      Text(out, f.row != nullptr ? f.row->rule : f.rule);
    }
    out += "\r\n";
  }

 private:
  // ",text": quoted when it holds a comma, a quote or a line break (quotes
  // doubled). A text that a spreadsheet would take for a formula (= + - @)
  // gets a leading apostrophe, so that opening the timeline runs nothing.
  static void Text(std::string& out, std::string_view text) {
    out += ',';
    field_.clear();
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@')) field_ += '\'';
    AppendShown(field_, text);
    if (field_.find_first_of(",\"\r\n") == std::string::npos) {
      out += field_;
      return;
    }
    out += '"';
    for (char c : field_) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }

  static thread_local std::string field_;
  bool explain_;
  bool headerWritten_ = false;
};

thread_local std::string Csv::field_;

// ---- A table for a terminal ------------------------------------------------------

class Table final : public FindingWriter {
 public:
  explicit Table(bool colour) : colour_(colour) {}

  void Append(std::string& out, const Finding& f) override {
    if (!headerWritten_) {
      line_.clear();
      Cell("TIME (UTC)", kTime);
      Cell("COMPUTER", kHost);
      Cell("RECORD", kRecord);
      Cell("EVENT", kEvent);
      Cell("RESULT", kResult);
      Cell("VERDICT", kVerdict);
      line_ += "WHAT";
      if (colour_) out += "\033[1m";
      out += line_;
      if (colour_) out += "\033[0m";
      out += '\n';
      headerWritten_ = true;
    }
    line_.clear();
    scratch_.clear();
    // "2024-05-01 09:00:05.250"
    AppendIsoTime(scratch_, f.time);
    scratch_[10] = ' ';
    if (!scratch_.empty() && scratch_.back() == 'Z') scratch_.pop_back();
    Cell(scratch_, kTime);
    Cell(f.host, kHost);
    scratch_.clear();
    if (f.hasRecord) AppendNumber(scratch_, f.record);
    Cell(scratch_, kRecord);
    Cell(f.isProcess ? "process" : "registry", kEvent);
    Cell(ResultName(f.result), kResult);
    const std::size_t verdictAt = line_.size();
    Cell(f.reported ? f.verdict : std::string_view("-"), kVerdict);
    const std::size_t verdictEnd = line_.size();
    // What happened: the program started by its parent, or the key written.
    if (f.isProcess) {
      AppendShown(line_, f.target);
      line_ += " <- ";
      AppendShown(line_, f.process);
    } else {
      AppendShown(line_, f.process);
      line_ += f.operation == 4 || f.operation == 5 ? " deletes " : " sets ";
      AppendShown(line_, f.key);
      AppendShown(line_, f.value);
    }
    if (f.explain) {
      line_ += "  [";
      if (f.row != nullptr && !f.row->table.empty()) {
        line_ += f.row->table;
        line_ += " row ";
        line_ += std::to_string(f.row->row);
        line_ += ": ";
      }
      line_ += f.row != nullptr ? f.row->rule : f.rule;
      line_ += ']';
    }
    if (colour_ && (f.result == 3 || f.result == 4)) {
      out.append(line_, 0, verdictAt);
      out += f.result == 4 ? "\033[1;31m" : "\033[33m";
      out.append(line_, verdictAt, verdictEnd - verdictAt);
      out += "\033[0m";
      out.append(line_, verdictEnd, std::string::npos);
    } else {
      out += line_;
    }
    out += '\n';
  }

 private:
  static constexpr std::size_t kTime = 23, kHost = 20, kRecord = 8, kEvent = 8, kResult = 24, kVerdict = 32;

  // `text` in a column of `width` characters and two spaces: cut with "~"
  // when longer.
  void Cell(std::string_view text, std::size_t width) {
    cell_.clear();
    AppendShown(cell_, text);
    std::size_t characters = 0, cut = cell_.size();
    for (std::size_t i = 0; i < cell_.size(); ++i) {
      if ((static_cast<unsigned char>(cell_[i]) & 0xC0) == 0x80) continue;  // UTF-8 continuation
      if (characters == width - 1) cut = i;
      ++characters;
    }
    if (characters > width) {
      line_.append(cell_, 0, cut);
      line_ += '~';
      characters = width;
    } else {
      line_ += cell_;
    }
    line_.append(width - characters + 2, ' ');
  }

  bool colour_;
  bool headerWritten_ = false;
  std::string line_, cell_, scratch_;
};

}  // namespace

std::unique_ptr<FindingWriter> MakeFindingWriter(Format format, bool explain, bool colour) {
  switch (format) {
    case Format::Csv: return std::make_unique<Csv>(explain);
    case Format::Table: return std::make_unique<Table>(colour);
    case Format::Jsonl: break;
  }
  return std::make_unique<JsonLines>();
}

}  // namespace evreplay
