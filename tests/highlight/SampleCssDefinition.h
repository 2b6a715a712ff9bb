// A small hand-built style-sheet definition shared by the tokenizer tests and benchmark.
#pragma once

#include "highlight/CodeMemoParser.h"

namespace quillet::testdef {

inline int G(TCodeMemoParser& p, const char* chars, bool negate = false) {
    TCM_CharGroup g;
    for (const char* c = chars; *c; ++c)
        g.Add(uint8_t(*c));
    g.SetNegate(negate);
    return p.Groups.Add(g);
}

inline TTokenRule Recogniser(int handler, uint8_t token, TStateSet valid) {
    TTokenRule r;
    r.Start.IsHandler = true;
    r.Start.Handler = handler;
    r.Valid = valid;
    r.Token = token;
    return r;
}

inline void Effect(TCodeMemoParser& p, uint8_t token, TStateSet valid, TStateSet add = {},
            TStateSet remove = {}) {
    TTokenEffect e;
    e.Valid = valid;
    e.Add = add;
    e.Remove = remove;
    e.NoTransition = add.Empty() && remove.Empty();
    p.Effects[token] = e;
}

// A small style-sheet definition: states 0 base, 50 selector, 52 property, 53 value.
inline void BuildCss(TCodeMemoParser& p) {
    using S = TStateSet;
    p.StartState = S::Of({0, 50});
    p.Anchor = S::Of({10, 11});
    p.Keywords.Add("{", 15, S::Of({0}));
    p.Keywords.Add("}", 16, S::Of({52, 53}));
    p.Keywords.Add(":", 17, S::Of({52}));
    p.Keywords.Add(";", 18, S::Of({53}));
    p.Keywords.Add("/*", 19, S::Of({0}));
    p.Keywords.Add("#", 21, S::Of({53}));
    TContinuationRule comment;
    comment.Body.Flag = 1;
    comment.Body.Group = uint16_t(G(p, "", true));
    comment.End.Flag = 1;
    comment.End.EndCount = 2;
    comment.End.EndGroups = {uint16_t(G(p, "*")), uint16_t(G(p, "/")), 0, 0};
    p.Continuations[19] = comment;
    TContinuationRule hex;
    const char* hexDigits = "0123456789abcdefABCDEF";
    hex.Body.Group = uint16_t(G(p, hexDigits));
    hex.End.EndCount = 1;
    hex.End.EndGroups[0] = uint16_t(G(p, hexDigits, true));
    p.Continuations[21] = hex;
    auto ident = TCodeMemoParser::RecogniserStart(10);
    for (int c = 0; c < 256; ++c)
        if (ident.Contains(uint8_t(c))) {
            p.StateTable(50).Rules[size_t(c)] = Recogniser(10, 11, S::Of({50}));
            p.StateTable(52).Rules[size_t(c)] = Recogniser(10, 13, S::Of({52}));
            p.StateTable(53).Rules[size_t(c)] = Recogniser(10, 14, S::Of({53}));
        }
    for (const char* c = ".0123456789"; *c; ++c)
        p.StateTable(53).Rules[uint8_t(*c)] = Recogniser(11, 3, S::Of({53}));
    p.StateTable(53).Rules['-'] = Recogniser(15, 3, S::Of({53}));
    for (int t : {3, 14})
        Effect(p, uint8_t(t), S::Of({53}));
    Effect(p, 11, S::Of({50}));
    Effect(p, 13, S::Of({52}));
    Effect(p, 19, S::Of({0}));
    Effect(p, 21, S::Of({0, 53}));
    Effect(p, 15, S::Of({0}), S::Of({52}), S::Of({50, 53}));
    Effect(p, 16, S::Of({0, 52, 53}), S::Of({50}), S::Of({52, 53}));
    Effect(p, 17, S::Of({0, 52}), S::Of({53}), S::Of({50, 52}));
    Effect(p, 18, S::Of({0, 53}), S::Of({52}), S::Of({50, 53}));
    p.Context[10] = S::Of({0, 50});
}

} // namespace quillet::testdef
