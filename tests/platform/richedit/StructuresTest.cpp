// The data structures under the document: gap buffer, partitioning with its lazy step,
// runs, and the line index, each checked against a plain model through long random edit
// sequences.

#include "platform/richedit/LineIndex.h"
#include "platform/richedit/Partitioning.h"
#include "platform/richedit/RunStyles.h"
#include "platform/richedit/SplitVector.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(SplitVector, EditsAnywhereMatchAPlainString) {
    SplitVector<char16_t> buffer;
    std::u16string model;
    std::mt19937 rng(7);
    for (int step = 0; step < 3000; ++step) {
        const auto length = std::int64_t(model.size());
        const std::int64_t pos = length == 0 ? 0 : std::int64_t(rng() % (length + 1));
        if (rng() % 3 != 0) {
            std::u16string piece(rng() % 40, u'a' + char16_t(step % 26));
            buffer.InsertFromArray(pos, piece.data(), std::int64_t(piece.size()));
            model.insert(std::size_t(pos), piece);
        } else {
            const std::int64_t count = std::min<std::int64_t>(rng() % 50, length - pos);
            buffer.DeleteRange(pos, count);
            model.erase(std::size_t(pos), std::size_t(count));
        }
        ASSERT_EQ(buffer.Length(), std::int64_t(model.size()));
    }
    std::u16string all(model.size(), u'\0');
    buffer.GetRange(all.data(), 0, buffer.Length());
    EXPECT_EQ(all, model);
    // A view across the gap is contiguous and right.
    const std::int64_t mid = buffer.Length() / 2;
    buffer.Insert(mid, u'X');
    model.insert(std::size_t(mid), 1, u'X');
    const char16_t* view = buffer.RangePointer(0, buffer.Length());
    EXPECT_EQ(std::u16string(view, model.size()), model);
}

TEST(SplitVector, GrowsPastTheReservationThresholdInPlace) {
    SplitVector<char16_t> buffer(std::size_t(64) << 20);
    std::u16string chunk(1 << 16, u'1');
    for (int i = 0; i < 100; ++i) { // 6.5 M units = 13 MB, past the switch to a reservation
        buffer.InsertFromArray(buffer.Length(), chunk.data(), std::int64_t(chunk.size()));
    }
    buffer.Insert(5, u'0');
    EXPECT_EQ(buffer.Length(), 100 * (1 << 16) + 1);
    EXPECT_EQ(buffer.ValueAt(5), u'0');
    EXPECT_EQ(buffer.ValueAt(buffer.Length() - 1), u'1');
    // Committed memory stays near the content (no doubling).
    EXPECT_LT(buffer.FootprintBytes(), std::size_t(buffer.Length()) * 2 * 5 / 4 + (4 << 20));
}

// Plain model: a vector of starts.
struct ModelPartitions {
    std::vector<std::int64_t> starts{0, 0};
    void InsertText(std::int64_t partition, std::int64_t delta) {
        for (std::size_t i = std::size_t(partition) + 1; i < starts.size(); ++i) {
            starts[i] += delta;
        }
    }
};

TEST(Partitioning, RandomEditsKeepStartsExact) {
    Partitioning part;
    ModelPartitions model;
    std::mt19937 rng(11);
    for (int step = 0; step < 20000; ++step) {
        const auto partitions = std::int64_t(model.starts.size()) - 1;
        const int op = int(rng() % 10);
        if (op < 5) {
            // Mostly near the end, as appending does, sometimes anywhere.
            const std::int64_t p = op < 3 ? partitions - 1 : std::int64_t(rng() % partitions);
            const std::int64_t delta = std::int64_t(rng() % 20) + 1;
            part.InsertText(p, delta);
            model.InsertText(p, delta);
        } else if (op < 8) {
            const std::int64_t p = std::int64_t(rng() % partitions);
            const std::int64_t start = model.starts[std::size_t(p)];
            const std::int64_t end = model.starts[std::size_t(p) + 1];
            if (end > start) {
                const std::int64_t at = start + 1 + std::int64_t(rng() % (end - start));
                if (at < end) {
                    part.InsertPartition(p + 1, at);
                    model.starts.insert(model.starts.begin() + p + 1, at);
                }
            }
        } else if (op == 8 && partitions > 1) {
            const std::int64_t p = 1 + std::int64_t(rng() % (partitions - 1));
            part.RemovePartition(p);
            model.starts.erase(model.starts.begin() + p);
        } else if (partitions > 3) {
            const std::int64_t first = 1 + std::int64_t(rng() % (partitions - 2));
            const std::int64_t count =
                1 + std::int64_t(rng() % std::min<std::int64_t>(3, partitions - first - 1));
            part.RemovePartitions(first, count);
            model.starts.erase(model.starts.begin() + first, model.starts.begin() + first + count);
        }
        if (step % 97 == 0 || step > 19900) {
            ASSERT_EQ(part.Partitions(), std::int64_t(model.starts.size()) - 1);
            for (std::size_t i = 0; i < model.starts.size(); ++i) {
                ASSERT_EQ(part.PositionFromPartition(std::int64_t(i)), model.starts[i]) << step;
            }
            const std::int64_t end = model.starts.back();
            for (std::int64_t pos = 0; pos <= end; pos += 1 + end / 50) {
                const std::int64_t p = part.PartitionFromPosition(pos);
                ASSERT_LE(model.starts[std::size_t(p)], pos);
                ASSERT_TRUE(pos < model.starts[std::size_t(p) + 1] || p == part.Partitions() - 1);
            }
        }
    }
}

TEST(RunStyles, RandomEditsMatchAPerPositionModel) {
    RunStyles<int> runs(0);
    std::vector<int> model;
    std::mt19937 rng(3);
    for (int step = 0; step < 5000; ++step) {
        const auto length = std::int64_t(model.size());
        const std::int64_t pos = std::int64_t(rng() % (length + 1));
        const int value = int(rng() % 4);
        const int op = int(rng() % 3);
        if (op == 0) {
            const std::int64_t count = std::int64_t(rng() % 8) + 1;
            runs.InsertSpace(pos, count, value);
            model.insert(model.begin() + pos, std::size_t(count), value);
        } else if (op == 1) {
            const std::int64_t count = std::min<std::int64_t>(rng() % 8, length - pos);
            runs.DeleteRange(pos, count);
            model.erase(model.begin() + pos, model.begin() + pos + count);
        } else {
            const std::int64_t count = std::min<std::int64_t>(rng() % 12, length - pos);
            std::vector<int> before(model.begin() + pos, model.begin() + pos + count);
            const bool changed = runs.SetValueRange(pos, count, value);
            std::fill(model.begin() + pos, model.begin() + pos + count, value);
            EXPECT_EQ(changed, before != std::vector<int>(before.size(), value));
        }
        ASSERT_NO_THROW(runs.Check()) << step;
        ASSERT_EQ(runs.Length(), std::int64_t(model.size()));
        for (std::int64_t i = 0; i < std::int64_t(model.size());
             i += 1 + std::int64_t(model.size()) / 40) {
            ASSERT_EQ(runs.ValueAt(i), model[std::size_t(i)]) << step;
        }
    }
}

TEST(RunStyles, OneFormatStaysOneRunHoweverLong) {
    RunStyles<int> runs(0);
    for (int i = 0; i < 10000; ++i) {
        runs.InsertSpace(runs.Length(), 100, 5);
    }
    EXPECT_EQ(runs.Runs(), 1);
    runs.SetValueRange(0, 10, 6);
    runs.SetValueRange(0, 10, 5);
    EXPECT_EQ(runs.Runs(), 1);
}

// Breaks every paragraph into pieces of at most width units, each line one pixel high.
class FixedWidthBreaker : public LineBreaker {
public:
    explicit FixedWidthBreaker(std::int32_t width) : width_(width) {}
    void BreakParagraph(const ParagraphRef& para, std::int32_t from,
                        std::vector<std::int32_t>& starts,
                        std::vector<std::int32_t>& heights) override {
        for (std::int32_t at = from;; at += width_) {
            starts.push_back(at);
            heights.push_back(1);
            if (at + width_ >= std::int32_t(para.text.size())) {
                break;
            }
        }
    }
    std::int32_t Width() const override { return width_; }
    void SetWidth(std::int32_t width) { width_ = width; }

private:
    std::int32_t width_;
};

// Greedy word wrap: a line ends after the last blank that fits, or is cut where a word is
// longer than a line. A line's height depends on its text, so heights differ.
class WordWrapBreaker : public LineBreaker {
public:
    explicit WordWrapBreaker(std::int32_t width) : width_(width) {}
    void BreakParagraph(const ParagraphRef& para, std::int32_t from,
                        std::vector<std::int32_t>& starts,
                        std::vector<std::int32_t>& heights) override {
        const auto n = std::int32_t(para.text.size());
        std::int32_t start = from;
        for (;;) {
            std::int32_t end = start + width_;
            if (end >= n) {
                Add(para.text, start, n, starts, heights);
                return;
            }
            std::int32_t cut = end;
            while (cut > start && para.text[std::size_t(cut - 1)] != u' ') {
                --cut;
            }
            Add(para.text, start, cut > start ? cut : end, starts, heights);
            start = cut > start ? cut : end;
        }
    }
    std::int32_t Width() const override { return width_; }
    void SetWidth(std::int32_t width) { width_ = width; }

private:
    static void Add(std::u16string_view text, std::int32_t start, std::int32_t end,
                    std::vector<std::int32_t>& starts, std::vector<std::int32_t>& heights) {
        starts.push_back(start);
        const auto e = std::count(text.begin() + start, text.begin() + end, u'e');
        heights.push_back(10 + std::int32_t(e % 3));
    }
    std::int32_t width_;
};

// Display lines of text in the plain model: (start, length without CR).
std::vector<std::pair<std::int64_t, std::int64_t>> ModelLines(const std::u16string& text,
                                                              int width) {
    std::vector<std::pair<std::int64_t, std::int64_t>> lines;
    std::int64_t start = 0;
    for (std::int64_t i = 0; i <= std::int64_t(text.size()); ++i) {
        if (i == std::int64_t(text.size()) || text[std::size_t(i)] == u'\r') {
            std::int64_t length = i - start;
            std::int64_t at = start;
            do {
                const std::int64_t piece =
                    width > 0 ? std::min<std::int64_t>(length, width) : length;
                lines.emplace_back(at, piece);
                at += piece;
                length -= piece;
            } while (length > 0);
            start = i + 1;
        }
    }
    return lines;
}

void ExpectLinesMatch(const LineIndex& index, const std::u16string& text, int width) {
    const auto model = ModelLines(text, width);
    ASSERT_EQ(index.LineCount(), std::int64_t(model.size()));
    for (std::size_t line = 0; line < model.size(); ++line) {
        ASSERT_EQ(index.LineStart(std::int64_t(line)), model[line].first) << line;
        ASSERT_EQ(index.LineLength(std::int64_t(line)), model[line].second) << line;
        ASSERT_EQ(index.LineFromPosition(model[line].first), std::int64_t(line)) << line;
    }
    ASSERT_NO_THROW(index.Check());
}

class LineIndexEdits : public ::testing::TestWithParam<int> {};

TEST_P(LineIndexEdits, RandomEditsKeepLinesRight) {
    const int width = GetParam();
    SplitVector<char16_t> text;
    LineIndex index(text);
    FixedWidthBreaker breaker(width);
    if (width > 0) {
        index.SetBreaker(&breaker);
    }
    std::u16string model;
    std::mt19937 rng(21 + unsigned(width));
    const std::u16string alphabet = u"ab\rcd\r\r e";
    for (int step = 0; step < 1500; ++step) {
        const auto length = std::int64_t(model.size());
        const std::int64_t pos = std::int64_t(rng() % (length + 1));
        if (rng() % 3 != 0) {
            std::u16string piece;
            for (unsigned n = rng() % 12; n > 0; --n) {
                piece.push_back(alphabet[rng() % alphabet.size()]);
            }
            text.InsertFromArray(pos, piece.data(), std::int64_t(piece.size()));
            index.Inserted(pos, std::int64_t(piece.size()));
            model.insert(std::size_t(pos), piece);
        } else {
            const std::int64_t count = std::min<std::int64_t>(rng() % 15, length - pos);
            text.DeleteRange(pos, count);
            index.Deleted(pos, count);
            model.erase(std::size_t(pos), std::size_t(count));
        }
        if (step % 50 == 0) {
            ExpectLinesMatch(index, model, width);
        }
    }
    ExpectLinesMatch(index, model, width);
    // Switching the breaker off and on lays everything out again.
    index.SetBreaker(nullptr);
    ExpectLinesMatch(index, model, 0);
    if (width > 0) {
        index.SetBreaker(&breaker);
        ExpectLinesMatch(index, model, width);
        // Laid out in steps: one line per paragraph until a step reaches it.
        index.SetBreaker(&breaker, false);
        ASSERT_EQ(index.ApproxLineCount(), index.Paragraphs());
        ASSERT_TRUE(index.HasStale());
        ASSERT_NO_THROW(index.Check());
        for (std::int64_t p = 0; p < index.Paragraphs(); p += 3) {
            index.Rewrap(p, 3);
        }
        ExpectLinesMatch(index, model, width);
    }
}

// Every query is exact while a width change is only partly laid out.
TEST(LineIndex, QueriesStayExactDuringAStepwiseRewrap) {
    SplitVector<char16_t> text;
    LineIndex index(text);
    FixedWidthBreaker breaker(5);
    index.SetBreaker(&breaker);
    std::u16string model;
    for (int p = 0; p < 200; ++p) {
        model += std::u16string(std::size_t(p % 23), u'x') + u"\r";
    }
    text.InsertFromArray(0, model.data(), std::int64_t(model.size()));
    index.Inserted(0, std::int64_t(model.size()));
    ExpectLinesMatch(index, model, 5);

    breaker.SetWidth(3);
    index.Invalidate();
    EXPECT_TRUE(index.HasStale());
    index.Rewrap(150, 10); // the "visible" paragraphs first
    // A query deep in the document is exact though what lies before it is still stale.
    EXPECT_EQ(index.LineFromPosition(index.ParagraphStart(100)),
              std::int64_t(ModelLines(model.substr(0, std::size_t(index.ParagraphStart(100))), 3)
                               .size()) -
                  1);
    EXPECT_TRUE(index.HasStale());
    while (index.RewrapSome(50)) {
    }
    EXPECT_FALSE(index.HasStale());
    ExpectLinesMatch(index, model, 3);

    // And a line-number query alone finishes only what it needs.
    breaker.SetWidth(4);
    index.Invalidate();
    const auto lines = ModelLines(model, 4);
    EXPECT_EQ(index.LineStart(40), lines[40].first);
    EXPECT_TRUE(index.HasStale());
    ExpectLinesMatch(index, model, 4);
}

// Editing re-breaks a paragraph only from the line before the edit point; the result must be
// what laying the whole text out afresh gives, lines and heights alike.
TEST(LineIndex, PartialRelayoutMatchesAFreshLayout) {
    SplitVector<char16_t> text;
    LineIndex index(text);
    WordWrapBreaker breaker(9);
    index.SetBreaker(&breaker);
    std::mt19937 rng(7);
    const std::u16string alphabet = u"abe  \rxyzeeeee";
    for (int step = 0; step < 3000; ++step) {
        const std::int64_t length = text.Length();
        const bool append = rng() % 2 == 0;
        const std::int64_t pos = append ? length : std::int64_t(rng() % (length + 1));
        if (rng() % 4 != 0) {
            std::u16string piece;
            for (unsigned n = 1 + rng() % 4; n > 0; --n) {
                piece.push_back(alphabet[rng() % alphabet.size()]);
            }
            text.InsertFromArray(pos, piece.data(), std::int64_t(piece.size()));
            index.Inserted(pos, std::int64_t(piece.size()));
        } else {
            const std::int64_t count = std::min<std::int64_t>(rng() % 6, length - pos);
            text.DeleteRange(pos, count);
            index.Deleted(pos, count);
        }
        if (step % 100 == 99) {
            SplitVector<char16_t> copy;
            std::u16string all(std::size_t(text.Length()), u'\0');
            text.GetRange(all.data(), 0, text.Length());
            copy.InsertFromArray(0, all.data(), std::int64_t(all.size()));
            LineIndex fresh(copy);
            fresh.Inserted(0, copy.Length());
            fresh.SetBreaker(&breaker);
            ASSERT_EQ(index.LineCount(), fresh.LineCount()) << step;
            for (std::int64_t line = 0; line < fresh.LineCount(); ++line) {
                ASSERT_EQ(index.LineStart(line), fresh.LineStart(line)) << step << " " << line;
            }
            ASSERT_EQ(index.ContentHeight(), fresh.ContentHeight()) << step;
            ASSERT_NO_THROW(index.Check());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, LineIndexEdits, ::testing::Values(0, 1, 3, 7));

} // namespace
