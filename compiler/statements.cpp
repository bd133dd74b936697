// Statements, turned into labels and jumps as they are parsed.
#include "compiler/internal.h"

namespace qavz::compiler {

int CurrentEpilogueLabel();

namespace {

// The innermost loop's and switch's labels; 0 means "none here".
struct LoopContext {
  int breakLabel = 0;
  int continueLabel = 0;
  int switchReg = 0;
  int nextCase = 0;
  int defaultLabel = 0;
  int caseEntry = 0;
  bool inSwitch = false;
  bool inGroup = false;
};
LoopContext Loop;
bool PendingReturn = false;

void Expect(int token, const char* what) {
  if (Tok == token)
    Next();
  else
    MissingToken(what);
}

void Statement();

// A return's move to r0 and jump to the epilogue wait for the next
// statement boundary, so a final return needs no jump.
void FlushReturn() {
  if (!PendingReturn) return;
  PendingReturn = false;
  MoveAToR0();
  Jump(CurrentEpilogueLabel());
}

// Parses a parenthesised condition and branches to `label` when its truth
// equals `sense`.
void Condition(bool sense, int label) {
  Expect(kTokLParen, "'('");
  int mark = PoolHigh;
  int c = RValue(ParseExpr());
  Expect(kTokRParen, "')'");
  ResetRegisters();
  Branch(c, sense, label);
  PoolHigh = mark;
}

void ExpressionStatement() {
  int mark = PoolHigh;
  int n = RValue(ParseExpr());
  EvalStatement(n);
  PoolHigh = mark;
  Expect(kTokSemi, "';'");
}

// if "(" expr ")" stmt ("else" stmt)?
void IfStatement() {
  Next();
  int skip = NewLabel();
  Condition(false, skip);
  Statement();
  if (Tok == kTokElse) {
    Next();
    int end = NewLabel();
    Jump(end);
    DefineLabel(skip);
    Statement();
    DefineLabel(end);
  } else {
    DefineLabel(skip);
  }
}

// while "(" expr ")" stmt
void WhileStatement() {
  Next();
  int top = DefineNewLabel();
  Expect(kTokLParen, "'('");
  int mark = PoolHigh;
  int c = RValue(ParseExpr());
  Expect(kTokRParen, "')'");
  ResetRegisters();
  if (Tok == kTokSemi) {
    Branch(c, true, top);
    PoolHigh = mark;
    Next();
    return;
  }
  int brk = NewLabel();
  Branch(c, false, brk);
  PoolHigh = mark;
  LoopContext saved = Loop;
  Loop.breakLabel = brk;
  Loop.continueLabel = top;
  Statement();
  Jump(top);
  DefineLabel(brk);
  saved.caseEntry = Loop.caseEntry, saved.nextCase = Loop.nextCase;
  saved.defaultLabel = Loop.defaultLabel, saved.inGroup = Loop.inGroup;
  Loop = saved;
}

// do stmt while "(" expr ")" ";"
void DoStatement() {
  Next();
  int top = DefineNewLabel();
  int brk = NewLabel();
  int cont = NewLabel();
  LoopContext saved = Loop;
  Loop.breakLabel = brk;
  Loop.continueLabel = cont;
  Statement();
  saved.caseEntry = Loop.caseEntry, saved.nextCase = Loop.nextCase;
  saved.defaultLabel = Loop.defaultLabel, saved.inGroup = Loop.inGroup;
  Loop = saved;
  DefineLabel(cont);
  if (Tok == kTokWhile)
    Next();
  else
    MissingToken("'while'");
  Condition(true, top);
  Expect(kTokSemi, "';'");
  DefineLabel(brk);
}

// for "(" expr? ";" expr? ";" expr? ")" stmt
void ForStatement() {
  Next();
  Expect(kTokLParen, "'('");
  if (Tok != kTokSemi) {
    int mark = PoolHigh;
    EvalStatement(RValue(ParseExpr()));
    PoolHigh = mark;
  }
  Expect(kTokSemi, "';'");
  int top = DefineNewLabel();
  int brk = NewLabel();
  if (Tok != kTokSemi) {
    int mark = PoolHigh;
    int c = RValue(ParseExpr());
    ResetRegisters();
    Branch(c, false, brk);
    PoolHigh = mark;
  }
  Expect(kTokSemi, "';'");
  // The step is compiled after the body; its tree waits in the pool.
  int stepMark = PoolHigh;
  int step = 0;
  if (Tok != kTokRParen) step = RValue(ParseExpr());
  Expect(kTokRParen, "')'");
  int cont = step ? NewLabel() : top;
  LoopContext saved = Loop;
  Loop.breakLabel = brk;
  Loop.continueLabel = cont;
  Statement();
  saved.caseEntry = Loop.caseEntry, saved.nextCase = Loop.nextCase;
  saved.defaultLabel = Loop.defaultLabel, saved.inGroup = Loop.inGroup;
  Loop = saved;
  if (step) {
    DefineLabel(cont);
    EvalStatement(step);
  }
  PoolHigh = stepMark;
  Jump(top);
  DefineLabel(brk);
}

// switch "(" expr ")" stmt: the value stays in its register for the
// comparisons, which are reached only from the start or a failed comparison.
void SwitchStatement() {
  Next();
  Expect(kTokLParen, "'('");
  int mark = PoolHigh;
  int e = RValue(ParseExpr());
  Expect(kTokRParen, "')'");
  int reg = EvalStatement(e);
  PoolHigh = mark;
  LoopContext saved = Loop;
  Loop.breakLabel = NewLabel();
  Loop.nextCase = NewLabel();
  Loop.switchReg = reg;
  Loop.defaultLabel = 0;
  Loop.inSwitch = true;
  Loop.inGroup = false;
  Jump(Loop.nextCase);
  Statement();
  if (Loop.defaultLabel) {
    Jump(Loop.breakLabel);  // the last group must not fall into the default jump
    DefineLabel(Loop.nextCase);
    Jump(Loop.defaultLabel);
  } else {
    DefineLabel(Loop.nextCase);
  }
  DefineLabel(Loop.breakLabel);
  saved.continueLabel = Loop.continueLabel;
  Loop = saved;
}

// case const ":" — a group of cases compares in place and falls to its entry.
void CaseLabel() {
  if (!Loop.inSwitch) Fail(kErrSyntax);
  Next();
  int32_t value = ParseConstant();
  Expect(kTokColon, "':'");
  if (!Loop.inGroup) {
    Loop.caseEntry = NewLabel();
    Jump(Loop.caseEntry);
    DefineLabel(Loop.nextCase);
  }
  EmitCompareImm(Loop.switchReg, value, true);
  if (Tok == kTokCase) {
    JumpIf(Opcode::kJe, Loop.caseEntry);
    Loop.inGroup = true;
  } else {
    Loop.nextCase = NewLabel();
    JumpIf(Opcode::kJne, Loop.nextCase);
    DefineLabel(Loop.caseEntry);
    Loop.inGroup = false;
  }
}

void DefaultLabel() {
  if (!Loop.inSwitch || Loop.defaultLabel) Fail(kErrSyntax);
  Next();
  Expect(kTokColon, "':'");
  if (Loop.inGroup) {
    // A group cut short by `default`: its failed comparisons go on to the
    // next group, and its entry is here.
    Loop.nextCase = NewLabel();
    JumpIf(Opcode::kJne, Loop.nextCase);
    DefineLabel(Loop.caseEntry);
    Loop.inGroup = false;
  }
  Loop.defaultLabel = NewLabel();
  DefineLabel(Loop.defaultLabel);
}

void GotoStatement() {
  Next();
  if (Tok != kTokIdent) {
    MissingToken("識別子");
  } else {
    SymbolEntry& e = Sym(TokSym);
    if (e.kind == kSymUndefined) {
      e.kind = kSymLabelUsed;
      e.value = NewLabel();
    } else if (e.kind != kSymLabel && e.kind != kSymLabelUsed) {
      Fail(kErrSyntax);
    }
    Jump(e.value);
    Next();
  }
  Expect(kTokSemi, "';'");
}

void LabelStatement() {
  SymbolEntry& e = Sym(TokSym);
  if (e.kind == kSymUndefined) {
    e.kind = kSymLabel;
    e.value = NewLabel();
  } else if (e.kind == kSymLabelUsed) {
    e.kind = kSymLabel;
  } else if (e.kind != kSymLabel) {
    Fail(kErrType);
  }
  DefineLabel(e.value);
  Next();
  Next();
}

void ReturnStatement() {
  Next();
  if (Tok != kTokSemi) {
    int mark = PoolHigh;
    EvalStatement(RValue(ParseExpr()));
    PoolHigh = mark;
  } else {
    ResetRegisters();
  }
  Expect(kTokSemi, "';'");
  PendingReturn = true;
}

void JumpStatement(int label) {
  if (!label) Fail(kErrSyntax);
  Next();
  Expect(kTokSemi, "';'");
  Jump(label);
}

bool StartsDeclaration() {
  return Tok == kTokStatic || Tok == kTokExtern || Tok == kTokTypedef || IsTypeStart();
}

void StatementNoFlush() {
  EnterNesting();
  switch (Tok) {
    case kTokLBrace:
      Next();
      while (Tok != kTokRBrace) Statement();
      Next();
      break;
    case kTokSemi:
      Next();
      break;
    case kTokIf:
      IfStatement();
      break;
    case kTokWhile:
      WhileStatement();
      break;
    case kTokDo:
      DoStatement();
      break;
    case kTokFor:
      ForStatement();
      break;
    case kTokSwitch:
      SwitchStatement();
      break;
    case kTokCase:
      CaseLabel();
      break;
    case kTokDefault:
      DefaultLabel();
      break;
    case kTokBreak:
      JumpStatement(Loop.breakLabel);
      break;
    case kTokContinue:
      JumpStatement(Loop.continueLabel);
      break;
    case kTokReturn:
      ReturnStatement();
      break;
    case kTokGoto:
      GotoStatement();
      break;
    default:
      if (StartsDeclaration())
        ParseLocalDeclaration();
      else if (Tok == kTokIdent && SkipWhite() == ':')
        LabelStatement();
      else
        ExpressionStatement();
      break;
  }
  LeaveNesting();
}

void Statement() {
  StatementNoFlush();
  FlushReturn();
}

}  // namespace

// The body of a function: statements up to its closing brace, which is left
// as the current token. A return as the last statement waits for the epilogue.
void ParseCompoundBody(bool) {
  Loop = LoopContext();
  PendingReturn = false;
  Next();  // the opening brace
  while (Tok != kTokRBrace) {
    StatementNoFlush();
    if (Tok != kTokRBrace) FlushReturn();
  }
  PendingReturn = false;
}

}  // namespace qavz::compiler
