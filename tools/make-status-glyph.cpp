// Writes the status glyph's outline as C++ source: the "t" of Liberation Serif Bold at 100 pixels. The program
// draws it from there, so that showing the tray icon loads no font (a font engine costs more memory than the
// rest of the idle tray program).
//
//   knokle_make_status_glyph src/widgets/StatusGlyph.cpp && clang-format -i src/widgets/StatusGlyph.cpp

#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainterPath>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    QFont font("Liberation Serif");
    font.setBold(true);
    font.setPixelSize(100);
    if (QFontInfo(font).family() != "Liberation Serif") {
        std::fprintf(stderr, "%s: the font Liberation Serif (fonts-liberation) is missing\n", argv[0]);
        return 1;
    }
    QPainterPath path;
    path.addText(0, 0, font, "t");
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 1;
    std::fprintf(out, "// The \"t\" of Liberation Serif Bold at 100 pixels, written by tools/make-status-glyph.cpp.\n"
                      "#include \"widgets/StatusGlyph.h\"\n\nnamespace knokle {\n\n"
                      "const std::vector<GlyphElement>& statusGlyph() {\n"
                      "    static const std::vector<GlyphElement> elements = {\n");
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto& e = path.elementAt(i);
        std::fprintf(out, "        {%d, %.3f, %.3f},\n", int(e.type), e.x, e.y);
    }
    std::fprintf(out, "    };\n    return elements;\n}\n\n} // namespace knokle\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
