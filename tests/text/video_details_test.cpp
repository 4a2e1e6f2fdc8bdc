#include <gtest/gtest.h>

#include <string>

#include "text/json.h"
#include "text/video_details.h"

namespace {

// The shape of a large site's information file, cut down: a storyboard,
// audio alone, 144p as a playlist and as a file, 240p and 1080p; headers
// on every format; chapters; the title and a description full of brackets.
const wchar_t SITE_INFO[] = LR"J({
  "id": "abc", "title": "Talk [full] {2024}", "description": "Intro\n[0:00] {\"not\": [json]}",
  "formats": [
    {"format_id": "sb0", "url": "https://i.example/sb/M0.jpg", "protocol": "mhtml", "vcodec": "none",
     "height": 45},
    {"format_id": "140", "url": "https://m.example/a?x=1", "protocol": "https", "vcodec": "none",
     "acodec": "mp4a.40.2"},
    {"format_id": "91", "url": "https://m.example/144.m3u8", "protocol": "m3u8_native", "vcodec": "avc1",
     "width": 256, "height": 144},
    {"format_id": "160", "url": "https://m.example/v?itag=160\u0026range=x", "protocol": "https",
     "vcodec": "avc1.4d400c", "width": 256, "height": 144, "fps": 30,
     "http_headers": {"User-Agent": "Mozilla/5.0 (X11)", "Accept": "*/*"}},
    {"format_id": "133", "url": "https://m.example/v?itag=133", "protocol": "https", "vcodec": "avc1",
     "width": 426, "height": 240},
    {"format_id": "137", "url": "https://m.example/v?itag=137", "protocol": "https", "vcodec": "avc1",
     "width": 1920, "height": 1080, "fps": 60}
  ],
  "chapters": [
    {"start_time": 0.0, "title": "Opening", "end_time": 60.0},
    {"start_time": 60.0, "title": "Main \u2013 part", "end_time": 3723.5},
    {"start_time": 3723.5, "title": "Broken", "end_time": 3723.5}
  ],
  "fps": 29.97, "duration": 3723.5
})J";

std::wstring label(const Chapter& chapter)
{
    wchar_t out[CHAPTER_LABEL_CAP];
    format_chapter_label(chapter, out);
    return out;
}

VideoDetails* read_details(const std::wstring& json)
{
    static VideoDetails details;
    details.chapter_count = -1;
    return read_video_details(json.c_str(), details) ? &details : nullptr;
}

}  // namespace

TEST(VideoDetails, ReadsChaptersRateAndTheLowestFormatOf144Lines)
{
    VideoDetails* details = read_details(SITE_INFO);
    ASSERT_NE(details, nullptr);
    EXPECT_DOUBLE_EQ(details->fps, 29.97);
    ASSERT_EQ(details->chapter_count, 2) << "a chapter that ends where it starts is left out";
    EXPECT_EQ(label(details->chapters[0]), L"0:00 Opening");
    EXPECT_EQ(label(details->chapters[1]), L"1:00 Main – part");
    EXPECT_EQ(details->chapters[1].end, 3723.5);
    ASSERT_TRUE(details->has_preview);
    EXPECT_STREQ(details->preview.url, L"https://m.example/v?itag=160&range=x") << "the file before the playlist";
    EXPECT_STREQ(details->preview.headers, L"User-Agent: Mozilla/5.0 (X11)\r\nAccept: */*\r\n");
    EXPECT_EQ(details->preview.width, 256);
    EXPECT_EQ(details->preview.height, 144);
}

TEST(VideoDetails, TakesWhatAVideoWithoutManyFormatsHas)
{
    // One file at the page's own address, headers of the video's.
    VideoDetails* single = read_details(LR"({"url": "http://127.0.0.1/v.mp4", "width": 640, "height": 360,
        "http_headers": {"Referer": "http://127.0.0.1/"}, "chapters": null})");
    ASSERT_NE(single, nullptr);
    ASSERT_TRUE(single->has_preview);
    EXPECT_STREQ(single->preview.url, L"http://127.0.0.1/v.mp4");
    EXPECT_STREQ(single->preview.headers, L"Referer: http://127.0.0.1/\r\n");
    EXPECT_EQ(single->chapter_count, 0);
    EXPECT_EQ(single->fps, 0);
    // Only formats below 144 lines: the tallest of them.
    VideoDetails* small = read_details(LR"({"formats": [{"url": "https://a/1", "height": 72, "fps": 15},
        {"url": "https://a/2", "height": 108}, {"url": "https://a/3", "height": 90}]})");
    ASSERT_NE(small, nullptr);
    EXPECT_STREQ(small->preview.url, L"https://a/2");
    EXPECT_EQ(small->fps, 0) << "the rate of the picture's format, which names none";
    // Nothing with pictures that ffmpeg reads from one address.
    for (const wchar_t* json :
         {LR"({"formats": [{"url": "https://a/1", "vcodec": "none"}]})",
          LR"({"formats": [{"url": "https://a/1", "protocol": "http_dash_segments", "height": 144}]})",
          LR"({"formats": [{"url": "https://a/1", "height": 144, "has_drm": true}]})",
          LR"({"formats": [], "url": "https://a/1"})"}) {
        VideoDetails* none = read_details(json);
        ASSERT_NE(none, nullptr);
        EXPECT_FALSE(none->has_preview) << testing::PrintToString(std::wstring(json));
    }
}

TEST(VideoDetails, BadTextLosesOnlyWhatIsBad)
{
    EXPECT_EQ(read_details(L"[1, 2]"), nullptr);
    EXPECT_EQ(read_details(L""), nullptr);
    // Cut off inside the formats: the chapters before them are still read.
    std::wstring cut = LR"({"chapters": [{"start_time": 5, "end_time": 9, "title": "A"}], "formats": [{"url": "htt)";
    VideoDetails* details = read_details(cut);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->chapter_count, 1);
    EXPECT_FALSE(details->has_preview);
    // An address too long for the buffer is no address.
    std::wstring long_url = L"{\"url\": \"https://a/" + std::wstring(MEDIA_URL_CAP, L'x') + L"\", \"height\": 144}";
    details = read_details(long_url);
    ASSERT_NE(details, nullptr);
    EXPECT_FALSE(details->has_preview);
    // Nesting deeper than any stack would hold is walked over.
    std::wstring deep = L"{\"a\": " + std::wstring(200000, L'[') + std::wstring(200000, L']') + L", \"fps\": 25}";
    details = read_details(deep);
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->fps, 25);
}

TEST(Json, WalksValuesInPlace)
{
    const wchar_t* text = LR"( {"a": [1, "x]", {"b": null}], "c": "d\"e", "t": true} )";
    const wchar_t* a = json_member(text, L"a");
    const wchar_t* second = json_next(json_first(a));
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(json_is(second, L"x]"));
    EXPECT_EQ(json_next(json_next(second)), nullptr);
    wchar_t out[4];
    EXPECT_EQ(json_string(json_member(text, L"c"), out, 4, nullptr), 1);
    EXPECT_STREQ(out, L"d\"e");
    EXPECT_EQ(json_string(L"\"long\"", out, 4, nullptr), -1);
    EXPECT_STREQ(out, L"lon");
    EXPECT_TRUE(json_true(json_member(text, L"t")));
    EXPECT_EQ(json_member(text, L"b"), nullptr) << "only the object's own members";
    EXPECT_EQ(json_value_end(L"{\"a\": [1, 2}"), nullptr);
    EXPECT_EQ(json_value_end(L"\"open"), nullptr);
}
