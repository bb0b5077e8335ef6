// The RTF reader's throughput on generated documents shaped like the catalogue's bodies
// (Russian text from a word processor: \'hh escapes, formatting runs, paragraph words, tables):
// RTF → plain text (the fast path) and RTF → QTextDocument, on 1 MB and 10 MB.
#include "bench/bench_ratio.h"
#include "richtext/rtf_reader.h"

#include <QGuiApplication>
#include <QStringEncoder>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <map>
#include <random>

namespace {

// QTextDocument needs a GUI application for its fonts; velanta-bench has none of its own.
void ensureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "velanta-bench";
  static char *argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

void appendEscaped(QByteArray &rtf, const QByteArray &cp1251) {
  static const char hex[] = "0123456789abcdef";
  for (const char c : cp1251) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      rtf.append(c);
    } else {
      rtf.append("\\'");
      rtf.append(hex[b >> 4]);
      rtf.append(hex[b & 15]);
    }
  }
}

QByteArray makeDocument(qsizetype size) {
  const QStringList words = {u"договор"_qs, u"аренды"_qs,    u"нежилого"_qs,   u"помещения"_qs,
                             u"стороны"_qs, u"обязуются"_qs, u"в"_qs,          u"срок"_qs,
                             u"не"_qs,      u"позднее"_qs,   u"оплаты"_qs,     u"согласно"_qs,
                             u"пункту"_qs,  u"3.1"_qs,       u"настоящего"_qs, u"Арендатор"_qs};
  QStringEncoder encoder("windows-1251");
  std::vector<QByteArray> encoded;
  for (const QString &word : words)
    encoded.push_back(encoder.encode(word));

  QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1251\\uc1\\deff0\\deflang1049"
                   "{\\fonttbl{\\f0\\froman\\fcharset204\\fprq2 Times New Roman;}"
                   "{\\f1\\fswiss\\fcharset204\\fprq2 Arial;}}"
                   "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"
                   "{\\stylesheet{\\ql\\widctlpar\\fs24\\lang1049 \\snext0 Normal;}"
                   "{\\s1\\qc\\b\\fs28 \\sbasedon0 \\snext0 heading 1;}}\n";
  std::mt19937 random(7);
  int paragraph = 0;
  while (rtf.size() < size) {
    ++paragraph;
    if (paragraph % 25 == 0) {
      rtf +=
          "\\trowd\\trgaph108\\trleft-108\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
          "\\cellx3000\\clbrdrt\\brdrs\\brdrw10\\cellx6000\\clbrdrt\\brdrs\\brdrw10\\cellx9000\n";
      for (int row = 0; row < 4; ++row) {
        for (int cell = 0; cell < 3; ++cell) {
          rtf += "\\pard\\plain\\intbl\\ql\\fs22\\lang1049 ";
          appendEscaped(rtf, encoded[random() % encoded.size()]);
          rtf += " ";
          appendEscaped(rtf, encoded[random() % encoded.size()]);
          rtf += "\\cell ";
        }
        rtf += "\\pard\\intbl\\row\n";
      }
      continue;
    }
    rtf += paragraph % 40 == 1 ? "\\pard\\plain\\s1\\qc\\sb240\\sa120\\b\\fs28 "
                               : "\\pard\\plain\\s0\\qj\\fi567\\sa120\\widctlpar\\aspalpha"
                                 "\\aspnum\\faauto\\adjustright\\rin0\\lin0\\itap0 "
                                 "\\rtlch\\fcs1\\af0\\afs24\\ltrch\\fcs0\\fs24\\lang1049 ";
    const int count = 20 + int(random() % 60);
    for (int w = 0; w < count; ++w) {
      const auto &word = encoded[random() % encoded.size()];
      switch (random() % 12) {
      case 0:
        rtf += "{\\b ";
        appendEscaped(rtf, word);
        rtf += "}";
        break;
      case 1:
        rtf += "{\\i\\cf2 ";
        appendEscaped(rtf, word);
        rtf += "}";
        break;
      default:
        appendEscaped(rtf, word);
      }
      rtf += w + 1 < count ? " " : ".";
    }
    rtf += "\\par\n";
  }
  rtf += "}";
  return rtf;
}

const QByteArray &document(qsizetype size) {
  static std::map<qsizetype, QByteArray> made;
  auto &slot = made[size];
  if (slot.isEmpty()) slot = makeDocument(size);
  return slot;
}

void BM_RtfToPlainText(benchmark::State &state) {
  const QByteArray &rtf = document(state.range(0));
  QString text;
  for (auto _ : state) {
    velanta::richtext::rtfToPlainText(rtf, text);
    benchmark::DoNotOptimize(text.size());
  }
  state.SetBytesProcessed(state.iterations() * rtf.size());
  state.counters["chars"] = double(text.size());
}
BENCHMARK(BM_RtfToPlainText)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_RtfToDocument(benchmark::State &state) {
  ensureGuiApplication();
  const QByteArray &rtf = document(state.range(0));
  for (auto _ : state) {
    QTextDocument doc;
    velanta::richtext::readRtf(rtf, doc);
    benchmark::DoNotOptimize(doc.characterCount());
  }
  state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_RtfToDocument)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

const velanta::bench::Ratio documentOverText("RTF: QTextDocument / plain text, 10 MB",
                                             "BM_RtfToDocument/10485760",
                                             "BM_RtfToPlainText/10485760");

} // namespace
