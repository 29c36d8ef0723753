#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "resources/Resources.h"
#include "services/ProgrammeTypes.h"
#include "tests/http/HTTPFixture.h"
#include "windows/TServicePictures.h"

namespace {

struct Response {
    std::string head;
    QByteArray body;
};

std::string ImageHead(qsizetype size, const char* type = "image/gif") {
    return std::string("HTTP/1.0 200 OK\r\nContent-Type: ") + type +
           "\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
}

QByteArray Gif(const QString& name) {
    return Resources::Find(QStringLiteral("GIF"), name).value_or(QByteArray());
}

class HTTPPicturesTest : public HTTPFixture {
protected:
    std::string Key(std::int32_t service) const {
        return tables.GetServiceKey(service, false, u'_').toStdString();
    }
    // The head up to its blank line, and the body.
    Response Fetch(const std::string& path) const {
        const std::string answer = Get("GET " + path + " HTTP/1.0\r\n\r\n");
        const std::size_t end = answer.find("\r\n\r\n");
        const std::size_t cut = end == std::string::npos ? answer.size() : end + 4;
        return {answer.substr(0, cut), QByteArray::fromStdString(answer.substr(cut))};
    }
};

}  // namespace

// The logo and the spacer are the program's GIF resources with their length, whatever the case
// of the path; "/<key>_NN.gif" gives the service's genre picture, 32 pixels for NN of 32 or
// more, else 16 (also when NN is not a number); unknown services and ".gif" paths without "_"
// seventh from the end are not found.
TEST_F(HTTPPicturesTest, ServesGifPictures) {
    const int type = tables.GetServiceProgrammeType(otherA);
    const QByteArray small = Gif(GetGenreImageName(type, 16));
    const QByteArray large = Gif(GetGenreImageName(type, 32));
    ASSERT_NE(small, large);
    const std::string key = "/" + Key(otherA);
    const std::pair<std::string, QByteArray> cases[] = {{"/tunora.gif", Gif("TUNORA")},
                                                        {"/TUNORA.GIF", Gif("TUNORA")},
                                                        {"/1x1.gif", Gif("1X1")},
                                                        {key + "_32.gif", large},
                                                        {key + "_99.gif", large},
                                                        {key + "_31.gif", small},
                                                        {key + "_xx.gif", small},
                                                        {"/99999_16.gif", {}},
                                                        {"/logo.gif", {}},
                                                        {"/_16.gif", {}},
                                                        {"/a_1.gif", {}}};
    for (const auto& [path, expected] : cases) {
        const Response response = Fetch(path);
        if (expected.isEmpty()) {
            EXPECT_EQ(response.head.substr(0, 22), "HTTP/1.0 404 Not Found") << path;
        } else {
            EXPECT_EQ(response.head, ImageHead(expected.size())) << path;
            EXPECT_EQ(response.body, expected) << path;
        }
    }
}

// With the program's pictures set up, a branding picture is served for its service.
TEST_F(HTTPPicturesTest, BrandingPictureServedWhenPresent) {
    const QString folder = env.Root() + QStringLiteral("/Branding/GIF");
    QDir().mkpath(folder);
    const QByteArray own = Gif(QStringLiteral("ALARM16"));
    QFile file(folder + QStringLiteral("/$D001_16.gif"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(own);
    file.close();
    TServicePictures pictures(tables, env.Root() + QStringLiteral("/Branding"));
    ServicePictures = &pictures;
    const Response small = Fetch("/" + Key(otherA) + "_16.gif");
    const Response large = Fetch("/" + Key(otherA) + "_32.gif");
    ServicePictures = nullptr;
    EXPECT_EQ(small.body, own);
    EXPECT_EQ(large.body, Gif(GetGenreImageName(tables.GetServiceProgrammeType(otherA), 32)));
}

// "/<key>.ico" sends the service's icon file (two images, 3638 bytes); an unknown name gets the
// product's icon rather than a 404.
TEST_F(HTTPPicturesTest, ServesIconFiles) {
    const TServicePictures pictures(tables, QString());
    const Response response = Fetch("/" + Key(otherA) + ".ico");
    EXPECT_EQ(response.head, ImageHead(3638, "image/x-icon"));
    EXPECT_EQ(response.body, pictures.GetServiceIconFile(otherA));

    const Response unknown = Fetch("/nosuchservice.ico");
    EXPECT_EQ(unknown.head, ImageHead(3638, "image/x-icon"));
    EXPECT_EQ(unknown.body, pictures.GetServiceIconFile(0));
    EXPECT_NE(unknown.body, response.body);
}
