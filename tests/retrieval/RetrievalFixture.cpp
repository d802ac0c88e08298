#include "RetrievalFixture.h"

#include "base/FileNames.h"
#include "core/AppState.h"
#include "widgets/WindowNames.h"
#include "widgets/WindowRegistry.h"

namespace hondana::test {

RetrievalCatalogue::RetrievalCatalogue() {
    folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
    file = std::make_unique<SqlFile>(folder.filePath(files::Catalogue));
    exec(
        "INSERT INTO BUNYA (分野NO, 分野名) VALUES (2, '技術'), (1, '小説'), (3, '空き');"
        "INSERT INTO CHOSHA (著者NO, 著者名, 国) VALUES (2, '夏目漱石', '日本'), "
        "(1, 'Ｍｏｒｉ　鴎外', '日本');"
        "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (10, '岩波書店'), (5, 'ｼﾝﾁｮｳ社');"
        "INSERT INTO BOOK (SEQNO, 題名, 著者NO, 発行所NO, 分野NO, 読書ｽﾀﾝﾌﾟ, 管理番号1, 管理番号2, "
        "請求番号) VALUES "
        "(2, 'こころ', 2, 10, 1, '未', 'A-12', '7', 'C1'),"
        "(1, 'こころ', 2, 10, 1, '済', 'A-1', '77', 'C1'),"
        "(3, 'あ', 99, 10, 1, NULL, '12', '7', 'D'),"
        "(4, NULL, 1, 5, 2, '*', NULL, NULL, NULL),"
        "(5, '', 1, 5, 2, '未  ', NULL, NULL, NULL),"
        "(6, '迷子', 1, 5, 77, '', NULL, NULL, NULL)");
}

RegisterStandIn::RegisterStandIn() {
    WindowRegistry::instance().registerFactory(windows::Register, [this] { return &window; });
    WindowRegistry::instance().window(windows::Register); // made, and hidden for the list
    AppState::instance().subWindowFlag = 1;
}

} // namespace hondana::test
