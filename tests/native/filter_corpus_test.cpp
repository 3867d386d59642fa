// Every stream of the real-world corpus decoded by our filter chain beside qpdf's own
// decoding (Flate, LZW, ASCII85, ASCIIHex, RunLength with predictors), and every fax image
// beside Poppler's pdfimages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "test_support.h"

namespace {

bool run(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string read_chain(ByteReader *r)
{
    std::string s;
    if (!r)
        return s;
    char tmp[4096];
    int n;
    while ((n = reader_read(r, reinterpret_cast<uint8_t *>(tmp), sizeof tmp)) > 0)
        s.append(tmp, size_t(n));
    reader_close_chain(r);
    return s;
}

std::string unhex(const std::string &hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// One filtered stream: its raw bytes and qpdf's decoding of them.
struct QpdfStream {
    int num, gen;
    std::string raw, decoded;
};

bool qpdf_json(const std::string &pdf, const char *level, const std::string &out)
{
    // qpdf exits with 3 when it only warned.
    const int rc = std::system(("qpdf --json --json-stream-data=inline --decode-level=" + std::string(level) + " '" +
                                pdf + "' > " + out + " 2>/dev/null").c_str());
    return rc == 0 || (WIFEXITED(rc) && WEXITSTATUS(rc) == 3);
}

// The streams qpdf could decode, from two JSON dumps (raw and decoded) joined by Python.
std::vector<QpdfStream> qpdf_streams(const std::string &pdf, bool *ok)
{
    std::vector<QpdfStream> out;
    const std::string raw = testsupport::scratch_path("raw.json"), dec = testsupport::scratch_path("dec.json");
    const std::string tsv = testsupport::scratch_path("corpus.tsv");
    *ok = qpdf_json(pdf, "none", raw) && qpdf_json(pdf, "generalized", dec) &&
          run("python3 -c \"import json,sys,base64\n"
              "def streams(p):\n"
              "  objs=json.load(open(p))['qpdf'][1]\n"
              "  return {k:v['stream'] for k,v in objs.items() if isinstance(v,dict) and 'data' in v.get('stream',{})}\n"
              "raw=streams(sys.argv[1]); dec=streams(sys.argv[2])\n"
              "with open(sys.argv[3],'w') as f:\n"
              "  for k,s in dec.items():\n"
              "    if '/Filter' in s['dict'] or k not in raw or '/Filter' not in raw[k]['dict']: continue\n"
              "    n,g,_=k[4:].split()\n"
              "    f.write(n+' '+g+' '+base64.b64decode(raw[k]['data']).hex()+' '+base64.b64decode(s['data']).hex()+'\\n')\" " +
              raw + " " + dec + " " + tsv);
    if (!*ok)
        return out;
    std::ifstream in(tsv);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        QpdfStream s{};
        std::string raw_hex, dec_hex;
        ls >> s.num >> s.gen >> raw_hex >> dec_hex;
        s.raw = unhex(raw_hex);
        s.decoded = unhex(dec_hex);
        out.push_back(s);
    }
    return out;
}

// Our chain runs over qpdf's raw bytes with our reading of the stream dictionary, so
// that only the filters are compared, not how the two read damaged files.
TEST(FilterCorpus, FilteredStreamsMatchQpdf)
{
    SKIP_WITHOUT_CORPUS();
    if (!run("command -v qpdf") || !run("command -v python3"))
        GTEST_SKIP() << "qpdf or python3 missing";
    int files = 0, compared = 0, differ = 0;
    for (const std::string &path : testsupport::corpus_files("pdf", ".pdf")) {
        bool ok = false;
        std::vector<QpdfStream> streams = qpdf_streams(path, &ok);
        PdfDoc *doc = nullptr;
        if (!ok || streams.empty() || pdf_open(&doc, path.c_str(), nullptr) != 0 || doc->crypt) {
            pdf_close(doc);
            continue;  // nothing decodable, or encrypted: qpdf's raw bytes are ciphertext
        }
        files++;
        for (const QpdfStream &q : streams) {
            PdfObject *obj = pdf_fetch(doc, q.num, q.gen);
            if (!pdf_is_type(obj, PDF_STREAM))
                continue;
            compared++;
            ByteReader *src = reader_open_memory(reinterpret_cast<const uint8_t *>(q.raw.data()), int64_t(q.raw.size()));
            const char *unsupported = nullptr;
            ByteReader *r = pdf_apply_filters(doc, src, obj->dict, &unsupported, 0);
            std::string ours = r ? read_chain(r) : (reader_close(src), "<null>");
            if (ours != q.decoded) {
                differ++;
                ADD_FAILURE() << path << " object " << q.num << ": ours " << ours.size() << " bytes, qpdf "
                              << q.decoded.size();
            }
        }
        pdf_close(doc);
    }
    std::printf("corpus: %d files, %d filtered streams compared with qpdf, %d differ\n", files, compared, differ);
    EXPECT_GT(compared, 1000);
}

// The P4 PBM pdfimages wrote: width, height and packed rows.
bool read_pbm(const std::string &path, int *w, int *h, std::string *rows)
{
    std::string f = testsupport::read_file(path);
    std::istringstream in(f);
    std::string magic;
    in >> magic >> *w >> *h;
    if (magic != "P4" || !in)
        return false;
    in.get();  // the single whitespace before the data
    *rows = f.substr(size_t(in.tellg()));
    return true;
}


// libtiff's decoding of a Group 4 stream: the bytes wrapped as a one-strip TIFF by
// Python, decompressed by tiffcp, the strip read back. Empty on failure.
std::string libtiff_g4(const std::string &data, int width, int height)
{
    const std::string in = testsupport::scratch_path("g4.bin"), out = testsupport::scratch_path("g4.raw");
    testsupport::write_file(in, data);
    const std::string script =
        "import struct,subprocess,sys\n"
        "d=open(sys.argv[1],'rb').read(); w,h=int(sys.argv[2]),int(sys.argv[3]); t=sys.argv[4]\n"
        "e=[(256,4,w),(257,4,h),(258,3,1),(259,3,4),(262,3,0),(273,4,8+2+12*9+4),(277,3,1),(278,4,h),(279,4,len(d))]\n"
        "ifd=struct.pack('<H',len(e))+b''.join(struct.pack('<HHII',a,b,1,c) for a,b,c in e)+struct.pack('<I',0)\n"
        "open(t+'.tif','wb').write(b'II*\\x00'+struct.pack('<I',8)+ifd+d)\n"
        "subprocess.check_call(['tiffcp','-c','none','-r',str(h),t+'.tif',t+'.none.tif'],stderr=subprocess.DEVNULL)\n"
        "f=open(t+'.none.tif','rb').read(); o=struct.unpack('<I',f[4:8])[0]; n=struct.unpack('<H',f[o:o+2])[0]; g={}\n"
        "for i in range(n):\n"
        "  a,b,c,v=struct.unpack('<HHII',f[o+2+12*i:o+14+12*i])\n"
        "  g[a]=struct.unpack('<H',f[o+10+12*i:o+12+12*i])[0] if b==3 else v\n"
        "open(sys.argv[5],'wb').write(f[g[273]:g[273]+g[279]])\n";
    const std::string py = testsupport::scratch_path("g4.py");
    testsupport::write_file(py, script);
    if (!run("python3 " + py + " " + in + " " + std::to_string(width) + " " + std::to_string(height) + " " +
             testsupport::scratch_path("g4") + " " + out))
        return "";
    return testsupport::read_file(out);
}

// Clears the padding bits after `width` pixels in every row.
std::string mask_padding(std::string rows, int width)
{
    const size_t row_bytes = size_t(width + 7) / 8;
    if (width % 8)
        for (size_t i = row_bytes - 1; i < rows.size(); i += row_bytes)
            rows[i] = char(rows[i] & (0xFF << (8 - width % 8)));
    return rows;
}

std::string invert(std::string rows)
{
    for (auto &c : rows)
        c = char(~c);
    return rows;
}

// Every CCITT image of the corpus: our decoding beside Poppler's, as pdfimages writes it
// (PBM, where 1 is black; an image's Decode array may invert it, so either sense counts).
TEST(FilterCorpus, FaxImagesMatchPdfimages)
{
    SKIP_WITHOUT_CORPUS();
    if (!run("command -v pdfimages"))
        GTEST_SKIP() << "pdfimages missing";
    int images = 0, by_libtiff = 0;
    for (const std::string &path : testsupport::corpus_files("pdf", ".pdf")) {
        const std::string list = testsupport::scratch_path("images.txt"), prefix = testsupport::scratch_path("img");
        if (std::system(("pdfimages -list '" + path + "' > " + list + " 2>/dev/null").c_str()) != 0)
            continue;
        std::ifstream in(list);
        std::string line;
        struct Fax {
            int num, object;
        };
        std::vector<Fax> faxes;
        while (std::getline(in, line)) {
            std::istringstream ls(line);
            int page, num, width, height, comp, bpc, object;
            std::string type, color, enc, interp;
            if (ls >> page >> num >> type >> width >> height >> color >> comp >> bpc >> enc >> interp >> object &&
                enc == "ccitt" && type == "image")
                faxes.push_back({num, object});
        }
        if (faxes.empty())
            continue;
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0) << path;
        ASSERT_TRUE(run("rm -f " + prefix + "-*; pdfimages '" + path + "' " + prefix));
        for (const Fax &fax : faxes) {
            SCOPED_TRACE(testing::Message() << path << " image " << fax.num << " object " << fax.object);
            char name[32];
            std::snprintf(name, sizeof name, "-%03d.pbm", fax.num);
            int w = 0, h = 0;
            std::string theirs;
            ASSERT_TRUE(read_pbm(prefix + name, &w, &h, &theirs));
            PdfObject *obj = pdf_fetch(doc, fax.object, 0);
            const std::string ours = mask_padding(read_chain(pdf_open_stream(doc, obj)), w);
            const std::string flipped = mask_padding(invert(ours), w);
            theirs = mask_padding(theirs, w);
            bool same = ours == theirs || flipped == theirs;
            if (!same) {
                // Poppler and libtiff read some quirky G4 data differently; ours follows libtiff.
                PdfObject *parms = pdf_resolve(doc, pdf_dict_get(obj, "DecodeParms"));
                if (pdf_is_type(parms, PDF_ARRAY))
                    parms = pdf_resolve(doc, pdf_array_get(parms, 0));
                if (pdf_to_int(pdf_resolve(doc, pdf_dict_get(parms, "K")), 0) < 0) {
                    std::string tiff = mask_padding(libtiff_g4(read_chain(pdf_open_raw_stream(doc, obj)), w, h), w);
                    same = ours == tiff || flipped == tiff;
                    if (same)
                        by_libtiff++;
                }
            }
            EXPECT_TRUE(same) << "ours " << ours.size() << " bytes, pdfimages " << theirs.size();
            images++;
        }
        pdf_close(doc);
    }
    std::printf("corpus: %d fax images compared with pdfimages (%d matched libtiff instead)\n", images, by_libtiff);
    EXPECT_GT(images, 5);
}

// Every JPEG image of the corpus decodes whole: Width x Height x components bytes.
TEST(FilterCorpus, JpegImagesDecodeWhole)
{
    SKIP_WITHOUT_CORPUS();
    int images = 0;
    for (const std::string &path : testsupport::corpus_files("pdf", ".pdf")) {
        PdfDoc *doc = nullptr;
        if (pdf_open(&doc, path.c_str(), nullptr) != 0 || doc->crypt) {
            pdf_close(doc);
            continue;
        }
        for (int num = pdf_xref_next(doc, 1); num >= 0; num = pdf_xref_next(doc, num + 1)) {
            PdfObject *obj = pdf_fetch(doc, num, 0);
            PdfObject *filter = pdf_resolve(doc, pdf_dict_get(obj, "Filter"));
            if (!pdf_is_type(obj, PDF_STREAM) || !(pdf_is_name(filter, "DCTDecode") || pdf_is_name(filter, "DCT")))
                continue;
            SCOPED_TRACE(testing::Message() << path << " object " << num);
            const int width = pdf_to_int(pdf_resolve(doc, pdf_dict_get(obj, "Width")), 0);
            const int height = pdf_to_int(pdf_resolve(doc, pdf_dict_get(obj, "Height")), 0);
            ByteReader *raw = pdf_open_raw_stream(doc, obj);
            const char *unsupported = nullptr;
            ByteReader *r = pdf_apply_filters(doc, raw, obj->dict, &unsupported, 3);
            ASSERT_NE(r, nullptr);
            const int components = pdf_dct_output_components(r);
            const std::string ours = read_chain(r);
            EXPECT_TRUE(components == 3 || components == 4) << components;
            EXPECT_EQ(ours.size(), size_t(width) * size_t(height) * size_t(components));
            images++;
        }
        pdf_close(doc);
    }
    std::printf("corpus: %d JPEG images decoded\n", images);
    EXPECT_GT(images, 10);
}

}  // namespace
