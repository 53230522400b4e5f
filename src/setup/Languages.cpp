#include "setup/Languages.h"

#include "config/wqArithm.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "config/RunState.h"
#include "system/wqUtils.h"

// One locale value of at most `size` characters (terminator included), as
// ANSI text. Windows NT keeps locale data in Unicode, so it is asked for wide
// and converted; Windows 95/98 only answer the ANSI call.
static TStr LocaleText(LCID locale, LCTYPE type, int size) {
    TStr text;
    if (OSVersion().Kind >= osWinNT) {
        WCHAR wide[100];
        int n = GetLocaleInfoW(locale, type, wide, size);
        if (n > 1) {
            char* out = text.buffer((size_t)(n - 1) * 2);
            text.resize((size_t)WideCharToMultiByte(CP_ACP, 0, wide, n - 1, out, (n - 1) * 2,
                                                    nullptr, nullptr));
        }
    } else {
        char* out = text.buffer((size_t)size);
        int n = GetLocaleInfoA(locale, type, out, size);
        text.resize(n > 1 ? (size_t)(n - 1) : 0);
    }
    return text;
}

BOOL CALLBACK LocaleEnumProc(LPSTR locale) {
    long id;
    if (!TextToInt(TStr("$") + locale, id)) return TRUE;
    LCID lcid = MAKELCID(LOWORD(id), SORT_DEFAULT);
    TStr code = LocaleText(lcid, LOCALE_SABBREVLANGNAME, 4);
    TStrList& languages = RunState().Languages;
    int at = languages.IndexOfName(code);
    if (at < 0) return TRUE;
    TStr name = LocaleText(lcid, LOCALE_SLANGUAGE, 100);
    if (name.empty())
        languages.Delete(at);
    else
        languages.Item(at) = code + "=" + name;
    return TRUE;
}

// The user's default language code; empty when the system does not say.
static TStr UserLanguageCode() {
    char code[4];
    int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, code, sizeof code);
    return TStr(code, n > 1 ? (size_t)(n - 1) : 0);
}

bool BuildLanguageList() {
    TRunState& run = RunState();
    run.Languages.Clear();
    TStr words;
    if (!ProfileReadString(run.IniFileName, "Config", "Languages", "", words)) return false;
    const TCharSet comma(",");
    for (int i = 1, n = CountWords(words, comma); i <= n; ++i)
        run.Languages.Add(GetWord(i, words, comma) + "=");
    if (run.Languages.Count() == 0) run.Languages.Add("ENU=");
    EnumSystemLocalesA(LocaleEnumProc, LCID_SUPPORTED);
    run.Languages.Sort();
    TStr user = UserLanguageCode();
    if (run.Languages.IndexOfName(user) >= 0)
        run.Language = user;
    else
        run.Language = run.Languages.Count() ? NamePart(run.Languages[0]) : TStr("ENU");
    return true;
}
