#include "shell/cmdline.h"

#include <stddef.h>
#include <string.h>

#include "resource.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/paths.h"
#include "shell/textfile.h"

SetupSwitches g_switches;

namespace {

struct SwitchSpec {
    const char *name;
    unsigned bit;
    size_t field;    // offset of its value in SetupSwitches; 0: it takes none
    size_t size;
    bool path;       // a file or folder, made full
};

#define ZL_VALUE(member) offsetof(SetupSwitches, member), sizeof(SetupSwitches::member)

const SwitchSpec kSwitches[] = {
    {"quiet", kSwitchQuiet, 0, 0, false},
    {"q", kSwitchQuiet, 0, 0, false},
    {"s", kSwitchQuiet, 0, 0, false},
    {"silent", kSwitchQuiet, 0, 0, false},
    {"norestart", kSwitchNoRestart, 0, 0, false},
    {"log", kSwitchLog, ZL_VALUE(log), true},
    {"dir", kSwitchDir, ZL_VALUE(dir), true},
    {"group", kSwitchGroup, ZL_VALUE(group), false},
    {"ini", kSwitchIni, ZL_VALUE(ini), true},
    {"?", kSwitchUsage, 0, 0, false},
};

#undef ZL_VALUE

const char kCaption[] = "ZELTRA Pro Installation";
// Longer than any value may be: a word that fills it is refused as too long.
const size_t kWordSize = 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// ASCII only: switch names must not depend on the user's locale.
bool SameName(const char *a, size_t length, const char *name)
{
    if (strlen(name) != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char c = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] + ('a' - 'A')) : a[i];
        if (c != name[i])
            return false;
    }
    return true;
}

// text[0, length) for a log line or a message: cut with "...", and control
// characters (a line break would forge log lines) as '?'.
void ShowText(char *dst, size_t size, const char *text, size_t length)
{
    size_t n = 0;
    for (; n < length && n + 4 < size; ++n)
        dst[n] = static_cast<unsigned char>(text[n]) < ' ' ? '?' : text[n];
    dst[n] = '\0';
    if (n < length)
        AppendText(dst, size, "...");
}

// The next word: up to a blank outside quotes, quotes removed. Returns its
// end; *open when a quote is left open, *cut when it did not fit.
const char *NextWord(const char *p, char *word, size_t size, bool *open, bool *cut)
{
    size_t n = 0;
    bool quoted = false;
    *cut = false;
    for (; *p && (quoted || !IsBlank(*p)); ++p) {
        if (*p == '"')
            quoted = !quoted;
        else if (n + 1 < size)
            word[n++] = *p;
        else
            *cut = true;
    }
    word[n] = '\0';
    *open = quoted;
    return p;
}

bool HasControlCharacter(const char *text)
{
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) < ' ')
            return true;
    return false;
}

const SwitchSpec *FindSwitch(const char *name, size_t length)
{
    for (size_t i = 0; i < sizeof kSwitches / sizeof kSwitches[0]; ++i)
        if (SameName(name, length, kSwitches[i].name))
            return &kSwitches[i];
    return NULL;
}

// Stores a switch's value. Paths are made full now: the run changes its
// current folder to the work folder before it uses them.
SwitchError StoreValue(const SwitchSpec &spec, const char *value, SetupSwitches *out)
{
    char *field = reinterpret_cast<char *>(out) + spec.field;
    if (!*value)
        return kSwitchNeedsValue;
    if (strlen(value) >= spec.size)
        return kSwitchTooLong;
    if (!spec.path)
        return CopyText(field, spec.size, value) ? kSwitchOk : kSwitchTooLong;
    // A "\\?\" prefix is the one place a path may hold a '?'.
    if (strpbrk(strncmp(value, "\\\\?\\", 4) == 0 ? value + 4 : value, "*?<>|"))
        return kSwitchUnusable;
    DWORD n = GetFullPathNameA(value, DWORD(spec.size), field, NULL);
    if (n == 0) {
        field[0] = '\0';
        return kSwitchUnusable;
    }
    return n < spec.size ? kSwitchOk : kSwitchTooLong;
}

SwitchError ReadWord(const char *word, bool open, bool cut, SetupSwitches *out)
{
    if (open)
        return kSwitchOpenQuote;
    if (cut)
        return kSwitchTooLong;
    if (HasControlCharacter(word))
        return kSwitchUnusable;
    if (word[0] != '/' && word[0] != '-')
        return kSwitchUnknown;
    const char *name = word + 1;
    size_t length = strcspn(name, "=:");
    const SwitchSpec *spec = FindSwitch(name, length);
    if (!spec)
        return kSwitchUnknown;
    const char *value = name[length] ? name + length + 1 : NULL;
    if (!spec->field) {
        if (value)
            return kSwitchTakesNoValue;
        out->given |= spec->bit;
        return kSwitchOk;
    }
    if (!value)
        return kSwitchNeedsValue;
    // Two folders or two logs: which one was meant is anyone's guess.
    if (out->given & spec->bit)
        return kSwitchRepeated;
    SwitchError error = StoreValue(*spec, value, out);
    if (error == kSwitchOk)
        out->given |= spec->bit;
    return error;
}

}  // namespace

bool ParseSetupSwitches(const char *args, SetupSwitches *out)
{
    memset(out, 0, sizeof *out);
    ShowText(out->shown, sizeof out->shown, args, strlen(args));
    char word[kWordSize];
    for (const char *p = args;;) {
        while (IsBlank(*p))
            ++p;
        if (!*p)
            break;
        bool open, cut;
        const char *start = p;
        p = NextWord(p, word, sizeof word, &open, &cut);
        SwitchError error = ReadWord(word, open, cut, out);
        if (error != kSwitchOk && out->error == kSwitchOk) {
            out->error = error;
            ShowText(out->refused, sizeof out->refused, start, size_t(p - start));
        }
    }
    return out->error == kSwitchOk;
}

// A file switch whose file cannot be used, unless the line has a fault already.
static void RefuseFile(SetupSwitches &s, SwitchError error, const char *name, const char *path)
{
    if (s.error != kSwitchOk)
        return;
    char named[MAX_PATH + 8];
    FormatText(named, sizeof named, "/%s=%s", name, path);
    s.error = error;
    ShowText(s.refused, sizeof s.refused, named, strlen(named));
}

void ReadCommandLine(const char *args)
{
    SetupSwitches &s = g_switches;
    ParseSetupSwitches(args, &s);
    // Checked first: a log that cannot be written is not where the refusal goes.
    TextWriter probe;
    if ((s.given & kSwitchLog) && !(OpenTextWriter(&probe, s.log, true) && CloseTextWriter(&probe))) {
        s.given &= ~unsigned(kSwitchLog);
        RefuseFile(s, kSwitchNotWritable, "log", s.log);
    }
    if ((s.given & kSwitchIni) && !IsExistingFile(s.ini))
        RefuseFile(s, kSwitchNoFile, "ini", s.ini);
}

bool AnswerCommandLine(bool quiet, int *exitCode)
{
    const SetupSwitches &s = g_switches;
    if (s.error == kSwitchOk && !(s.given & kSwitchUsage))
        return false;
    char usage[kFormatBufferSize], text[2 * kFormatBufferSize];
    LoadMessage(MSG_USAGE, usage, sizeof usage);
    if (s.error == kSwitchOk) {
        CopyText(text, sizeof text, usage);
        *exitCode = kExitOk;
    } else {
        char templ[256], reason[128];
        LoadMessage(MSG_SWITCH_REFUSED, templ, sizeof templ);
        LoadMessage(MSG_SWITCH_UNKNOWN + s.error - kSwitchUnknown, reason, sizeof reason);
        FormatMessageText(text, templ, s.refused, reason);
        *exitCode = kExitBadCommandLine;
    }
    if (quiet) {
        LogLine(text);
    } else {
        if (s.error != kSwitchOk) {
            AppendText(text, sizeof text, "\n\n");
            AppendText(text, sizeof text, usage);
        }
        MessageBoxA(NULL, text, kCaption, MB_SETFOREGROUND | (s.error ? MB_ICONERROR : MB_ICONINFORMATION));
    }
    LogFormat("Exit code %d", *exitCode);
    return true;
}
