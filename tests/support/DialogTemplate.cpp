#include "support/DialogTemplate.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwctype>

#include "support/TestFiles.h"

namespace {

// Takes the fields of a template one after the other.
class FieldReader {
public:
    FieldReader(const BYTE* begin, const BYTE* end) : m_begin(begin), m_p(begin), m_end(end) {}

    template <class... T> void Take(T&... fields) { (TakeOne(fields), ...); }

    // A zero-terminated string, or an ordinal (0xFFFF, n) as "#n".
    std::wstring Text()
    {
        WORD c = 0;
        Take(c);
        if (c == 0xFFFF) {
            Take(c);
            return L"#" + std::to_wstring(c);
        }
        std::wstring text;
        for (; c != 0; Take(c))
            text += static_cast<wchar_t>(c);
        return text;
    }
    void AlignToDword() { m_p = m_begin + ((m_p - m_begin + 3) & ~3); }
    void Skip(size_t bytes) { m_p += bytes; }
    bool Overran() const { return m_p > m_end; }

private:
    template <class T> void TakeOne(T& field)
    {
        field = T();
        if (m_p + sizeof(T) <= m_end)
            std::memcpy(&field, m_p, sizeof(T));
        m_p += sizeof(T);
    }

    const BYTE* m_begin;
    const BYTE* m_p;
    const BYTE* m_end;
};

std::wstring ClassName(std::wstring name)
{
    static const wchar_t* const kPredefined[] = {L"button", L"edit", L"static",
                                                 L"listbox", L"scrollbar", L"combobox"};
    for (int ordinal = 0x80; ordinal <= 0x85; ++ordinal)
        if (name == L"#" + std::to_wstring(ordinal))
            return kPredefined[ordinal - 0x80];
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

} // namespace

static std::string Describe(const TemplateControl& c)
{
    return Format("id %d %s \"%s\" at %d,%d %dx%d style 0x%lx exstyle 0x%lx help %lu", c.id,
                  Narrow(c.className).c_str(), Narrow(c.title).c_str(), c.x, c.y, c.cx, c.cy,
                  c.style, c.exStyle, c.helpId);
}

static std::string Describe(const DialogTemplate& d)
{
    return Format("\"%s\" at %d,%d %dx%d style 0x%lx font %u %s weight %u italic %u charset %u "
                  "exstyle 0x%lx help %lu menu \"%s\" class \"%s\"",
                  Narrow(d.title).c_str(), d.x, d.y, d.cx, d.cy, d.style, d.pointSize,
                  Narrow(d.typeface).c_str(), d.weight, d.italic, d.charset, d.exStyle, d.helpId,
                  Narrow(d.menu).c_str(), Narrow(d.className).c_str());
}

void ExpectDialogTemplate(int id, const DialogTemplate& want)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    ASSERT_NE(nullptr, info) << "no dialog template " << id;
    const BYTE* begin = static_cast<const BYTE*>(::LockResource(::LoadResource(module, info)));
    FieldReader in(begin, begin + ::SizeofResource(module, info));
    WORD version = 0, signature = 0, count = 0;
    in.Take(version, signature);
    ASSERT_TRUE(version == 1 && signature == 0xFFFF) << "no extended dialog template " << id;
    DialogTemplate got;
    in.Take(got.helpId, got.exStyle, got.style, count, got.x, got.y, got.cx, got.cy);
    got.menu = in.Text();
    got.className = in.Text();
    got.title = in.Text();
    if (got.style & (DS_SETFONT | DS_SHELLFONT)) {
        in.Take(got.pointSize, got.weight, got.italic, got.charset);
        got.typeface = in.Text();
    }
    got.controls.assign(count, TemplateControl());
    for (TemplateControl& control : got.controls) {
        in.AlignToDword();
        in.Take(control.helpId, control.exStyle, control.style, control.x, control.y, control.cx,
                control.cy, control.id);
        control.className = ClassName(in.Text());
        control.title = in.Text();
        WORD extraBytes = 0;
        in.Take(extraBytes);
        in.Skip(extraBytes);
    }
    ASSERT_FALSE(in.Overran()) << "dialog template " << id << " runs past the resource's end";
    EXPECT_EQ(Describe(want), Describe(got));
    ASSERT_EQ(want.controls.size(), got.controls.size());
    for (size_t i = 0; i < got.controls.size(); ++i)
        EXPECT_EQ(Describe(want.controls[i]), Describe(got.controls[i])) << "control #" << i;
}
