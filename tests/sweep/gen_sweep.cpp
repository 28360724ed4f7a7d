// Reads the public header and the table of expected results, writes a GoogleTest source
// that calls every exported function with NULL in each pointer argument in turn and with
// counts 0, -1 and INT_MAX. Fails when a header function has no table entry (or the table
// names a function the header no longer has), so the sweep cannot silently fall behind.
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Param {
  std::string type, name;
  bool pointer = false, count = false;
};
struct Function {
  std::string ret, name;
  std::vector<Param> params;
};
struct Entry {
  bool skip = false;
  std::map<std::string, std::string> keys;  // null=, <param>=, count=, <param>#=, max=, valid.<param>=
};

std::string trim(std::string s) {
  auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

const std::set<std::string> kCountNames = {"count", "size", "maxLength", "byteCount", "bufferSize", "initialCount"};

std::vector<Function> parseHeader(const std::string& text) {
  std::set<std::string> fnPointers;
  std::regex fp(R"(typedef[^;]*\(\*\s*(\w+)\s*\))");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), fp); it != std::sregex_iterator(); ++it)
    fnPointers.insert((*it)[1]);
  std::vector<Function> out;
  std::istringstream in(text);
  std::string line, decl;
  bool collecting = false;
  while (std::getline(in, line)) {
    if (!collecting) {
      auto t = trim(line);
      if (t.rfind("TQ_API ", 0) != 0) continue;
      collecting = true;
      decl.clear();
    }
    decl += " " + line;
    if (line.find(';') == std::string::npos) continue;
    collecting = false;
    decl = decl.substr(0, decl.find(';'));
    decl = std::regex_replace(decl, std::regex(R"(TQ_PRINTF\s*\([^)]*\)|TQ_NOEXCEPT|TQ_API)"), " ");
    std::smatch m;
    if (!std::regex_match(decl, m, std::regex(R"(\s*(.*?)\b(\w+)\s*\((.*)\)\s*)"))) {
      std::cerr << "cannot read declaration:" << decl << "\n";
      std::exit(1);
    }
    Function f{trim(m[1]), m[2], {}};
    std::string params = m[3];
    std::stringstream ps(params);
    std::string p;
    while (std::getline(ps, p, ',')) {
      p = trim(p);
      if (p.empty() || p == "void" || p == "...") continue;
      Param q;
      std::smatch pm;
      if (!std::regex_match(p, pm, std::regex(R"((.*?)\b(\w+)\s*(\[\w*\])?)"))) {
        std::cerr << f.name << ": cannot read parameter " << p << "\n";
        std::exit(1);
      }
      q.type = trim(pm[1]);
      q.name = pm[2];
      if (pm[3].matched) q.type += "*";
      q.pointer = q.type.find('*') != std::string::npos || fnPointers.count(q.type);
      q.count = q.type == "int" && kCountNames.count(q.name);
      f.params.push_back(q);
    }
    out.push_back(f);
  }
  return out;
}

std::map<std::string, Entry> parseTable(std::istream& in) {
  std::map<std::string, Entry> table;
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    auto hash = line.find("//");
    if (hash != std::string::npos) line = line.substr(0, hash);
    std::istringstream ls(line);
    std::string name, word;
    if (!(ls >> name)) continue;
    if (table.count(name)) {
      std::cerr << "table line " << n << ": " << name << " listed twice\n";
      std::exit(1);
    }
    Entry e;
    while (ls >> word) {
      if (word == "skip") { e.skip = true; break; }  // rest of the line is the reason
      auto eq = word.find('=');
      if (eq == std::string::npos) {
        std::cerr << "table line " << n << ": expected key=value, got " << word << "\n";
        std::exit(1);
      }
      e.keys[word.substr(0, eq)] = word.substr(eq + 1);
    }
    table[name] = e;
  }
  return table;
}

// Statement calling `call` and checking its result against `expect` for the return type.
std::string check(const Function& f, const std::string& call, const std::string& expect, const std::string& what) {
  std::string msg = " << \"" + what + "\";\n";
  if (f.ret == "void" || expect == "any") return "    (void)(" + call + ");\n";
  bool ptr = f.ret.find('*') != std::string::npos;
  if (ptr && expect == "NULL") return "    EXPECT_EQ((const void*)(" + call + "), nullptr)" + msg;
  if (ptr && expect == "freed")
    return "    {\n      auto r = " + call + ";\n      EXPECT_NE((const void*)r, nullptr)" + msg + "      sweep::dispose(r);\n    }\n";
  if (ptr && expect == "nonnull") return "    EXPECT_NE((const void*)(" + call + "), nullptr)" + msg;
  if (ptr) { std::cerr << f.name << ": pointer result needs NULL, nonnull or any\n"; std::exit(1); }
  if (f.ret == "double") return "    EXPECT_EQ((double)(" + call + "), (double)(" + expect + "))" + msg;
  return "    EXPECT_EQ((long long)(" + call + "), (long long)(" + expect + "))" + msg;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: gen_sweep HEADER TABLE OUTPUT\n";
    return 2;
  }
  std::ifstream hs(argv[1]), ts(argv[2]);
  if (!hs || !ts) { std::cerr << "cannot read inputs\n"; return 1; }
  std::stringstream hb;
  hb << hs.rdbuf();
  auto functions = parseHeader(hb.str());
  auto table = parseTable(ts);

  int missing = 0;
  std::set<std::string> seen;
  for (auto& f : functions) {
    seen.insert(f.name);
    if (!table.count(f.name)) {
      std::cerr << argv[2] << ": no sweep entry for " << f.name << " (add one: expected nothing-done results)\n";
      ++missing;
    }
  }
  for (auto& [name, e] : table)
    if (!seen.count(name)) { std::cerr << argv[2] << ": " << name << " is not in the header\n"; ++missing; }
  if (missing) return 1;

  std::ostringstream out;
  out << "// Generated by gen_sweep from include/orvane.h and tests/sweep/expected.txt. Do not edit.\n"
         "#include \"sweep_support.hpp\"\n\n";
  int calls = 0, swept = 0;
  for (auto& f : functions) {
    const Entry& e = table[f.name];
    if (e.skip) continue;
    ++swept;
    bool ptr = f.ret.find('*') != std::string::npos;
    std::string nothing = f.ret == "void" ? "any" : ptr ? "NULL" : "0";
    auto key = [&](const std::string& k, const std::string& dflt) {
      auto it = e.keys.find(k);
      return it == e.keys.end() ? dflt : it->second;
    };
    for (auto& [k, v] : e.keys) {
      bool known = k == "null" || k == "count" || k == "max" || k.rfind("valid.", 0) == 0;
      for (auto& p : f.params) known = known || k == p.name || k == p.name + "#" || k == p.name + "^";
      if (!known) { std::cerr << f.name << ": unknown key " << k << "\n"; return 1; }
    }
    auto callWith = [&](size_t index, const std::string& value) {
      std::string call = f.name + "(";
      for (size_t j = 0; j < f.params.size(); ++j) {
        if (j) call += ", ";
        if (j == index) call += value;
        else call += key("valid." + f.params[j].name, "V");
      }
      return call + ")";
    };
    out << "TEST(Sweep, " << f.name << ") {\n";
    std::string nullDefault = key("null", nothing);
    for (size_t i = 0; i < f.params.size(); ++i) {
      const Param& p = f.params[i];
      if (p.pointer) {
        std::string exp = key(p.name, nullDefault);
        if (exp == "skip") continue;
        out << "  {\n    sweep::Ctx c;\n" << check(f, callWith(i, "nullptr"), exp, "NULL " + p.name) << "  }\n";
        ++calls;
      }
      if (p.count) {
        std::string exp = key(p.name + "#", key("count", nothing));
        if (exp != "skip") {
          for (const char* v : {"0", "-1"}) {
            out << "  {\n    sweep::Ctx c;\n" << check(f, callWith(i, v), exp, p.name + " = " + v) << "  }\n";
            ++calls;
          }
        }
        std::string maxExp = key(p.name + "^", key("max", "any"));
        if (maxExp != "skip") {
          out << "  {\n    sweep::Ctx c;\n" << check(f, callWith(i, "INT_MAX"), maxExp, p.name + " = INT_MAX") << "  }\n";
          ++calls;
        }
      }
    }
    out << "}\n\n";
  }
  out << "// " << swept << " of " << functions.size() << " functions swept, " << calls << " calls.\n";
  std::ofstream os(argv[3]);
  os << out.str();
  std::cout << "sweep: " << swept << " of " << functions.size() << " functions, " << calls << " calls\n";
  return os ? 0 : 1;
}
