#include "frameworkTestSupport.h"

#include "app/Application.h"
#include "framework/accessibility/accessibleFacts.h"
#include "framework/buttons/SpriteButton.h"
#include "framework/buttons/SystemButtons.h"
#include "framework/controls/focusOrder.h"
#include "framework/layouts/Layout.h"
#include "framework/pictures/Sprite.h"
#include "framework/text/Label.h"
#include "framework/text/Text.h"
#include "framework/windows/messages.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <optional>
#include <string>
#include <vector>

using framework::controls::Item;
using framework::controls::kKindComposite;
using framework::controls::MouseEvent;
using framework::layouts::Layout;
using framework::windows::kMsgRedraw;
using frameworktest::MessageSink;

namespace {

// A clickable element that records the operations it receives.
class Recorder : public Item {
public:
    Recorder(std::vector<std::string> &journal, const char *name, float x, float y, float width, float height)
        : Item(kKindComposite, width, height, x, y), journal_(journal), name_(name)
    {
        interactive = true;
    }
    void mouseEnter() override
    {
        Item::mouseEnter();
        note("enter");
    }
    void mouseLeave() override
    {
        Item::mouseLeave();
        note("leave");
    }
    void mouseDown(const MouseEvent &event) override
    {
        Item::mouseDown(event);
        note("down");
    }
    void mouseUp(const MouseEvent &event) override
    {
        Item::mouseUp(event);
        lastUp = event;
        note("up");
    }
    void click() override { note("click"); }

    MouseEvent lastUp;

private:
    void note(const char *what) { journal_.push_back(name_ + ":" + what); }
    std::vector<std::string> &journal_;
    std::string name_;
};

MouseEvent at(float x, float y)
{
    return MouseEvent{x, y, 0, 0};
}

class ElementTree : public ::testing::Test {
protected:
    MessageSink window;
    std::vector<std::string> journal;
    Layout root{767, 444, 0, 0, &window};
};

TEST(ItemGeometry, BothEdgesOfAnElementAreInside)
{
    const Recorder item = [] {
        static std::vector<std::string> unused;
        return Recorder(unused, "r", 10, 20, 30, 40);
    }();
    EXPECT_TRUE(item.contains(10, 20));
    EXPECT_TRUE(item.contains(40, 60));
    EXPECT_TRUE(item.contains(40, 20));
    EXPECT_FALSE(item.contains(40.01f, 30));
    EXPECT_FALSE(item.contains(20, 60.01f));
    EXPECT_FALSE(item.contains(9.99f, 30));
}

TEST(ItemIds, EveryElementTakesTheNextIdAndViewsUseOneUpWithoutTakingIt)
{
    std::vector<std::string> unused;
    const int32_t before = framework::controls::nextItemId;
    Recorder first(unused, "a", 0, 0, 1, 1);
    framework::views::View page(nullptr, 42);
    Recorder second(unused, "b", 0, 0, 1, 1);
    EXPECT_EQ(first.id, before);
    EXPECT_EQ(page.id, 42);
    EXPECT_EQ(second.id, before + 2);
    EXPECT_FALSE(first.hovered || first.pressed);
    EXPECT_TRUE(first.visible);
}

TEST_F(ElementTree, PressAndReleaseOnOneElementClicksAfterTheRelease)
{
    root.make<Recorder>(journal, "button", 100, 100, 50, 20);
    root.mouseMove(at(120, 110));
    root.mouseDown(at(120, 110));
    root.mouseUp(at(150, 120)); // the corner itself still counts
    EXPECT_EQ(journal, (std::vector<std::string>{"button:enter", "button:down", "button:up", "button:click"}));
    EXPECT_EQ(root.pressedChild, nullptr);
}

TEST_F(ElementTree, PressingDraggingOffAndReleasingGivesNoClick)
{
    auto *button = root.make<Recorder>(journal, "button", 100, 100, 50, 20);
    root.mouseMove(at(120, 110));
    root.mouseDown(at(120, 110));
    EXPECT_TRUE(button->pressed);
    root.mouseMove(at(300, 300));
    root.mouseUp(at(300, 300));
    EXPECT_EQ(journal, (std::vector<std::string>{"button:enter", "button:down", "button:leave", "button:up"}));
    EXPECT_FALSE(button->pressed);
}

TEST_F(ElementTree, APressActsOnWhatIsUnderItWithoutAMoveThere)
{
    auto *nested = root.make<Layout>(200.0f, 200.0f, 300.0f, 0.0f, &window);
    nested->make<Recorder>(journal, "inner", 310, 10, 10, 10);
    root.make<Recorder>(journal, "button", 100, 100, 50, 20);
    struct Case {
        const char *name;
        void (*before)(Layout &);
        MouseEvent press;
        const char *clicked;
    };
    const Case cases[] = {
        {"no move at all", [](Layout &) {}, at(120, 110), "button:click"},
        {"hover cancelled by a page change",
         [](Layout &tree) {
             tree.mouseMove(at(120, 110));
             tree.cancelHover();
         },
         at(120, 110), "button:click"},
        {"last move elsewhere", [](Layout &tree) { tree.mouseMove(at(10, 10)); }, at(120, 110), "button:click"},
        {"into a nested layout", [](Layout &tree) { tree.mouseMove(at(120, 110)); }, at(315, 15), "inner:click"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        root.cancelHover();
        journal.clear();
        test.before(root);
        root.mouseDown(test.press);
        root.mouseUp(test.press);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), test.clicked), 1);
    }
}

TEST_F(ElementTree, LosingTheCaptureReleasesAtMinusOneWithoutClickOrRedraw)
{
    auto *button = root.make<Recorder>(journal, "button", 0, 0, 50, 20);
    root.mouseMove(at(10, 10));
    root.mouseDown(at(10, 10));
    window.take(kMsgRedraw);
    root.cancelPress();
    EXPECT_EQ(journal.back(), "button:up");
    EXPECT_FLOAT_EQ(button->lastUp.x, -1.0f);
    EXPECT_FLOAT_EQ(button->lastUp.y, -1.0f);
    EXPECT_EQ(button->lastUp.button, 0);
    EXPECT_EQ(root.pressedChild, nullptr);
    EXPECT_EQ(window.take(kMsgRedraw), 0);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "button:click"), 0);
}

TEST_F(ElementTree, SpritesAndTextsAreNeverHoveredAndAskForNoRedraw)
{
    auto *sprite = root.make<framework::pictures::Sprite>(100.0f, 100.0f, 0.0f, 0.0f, 0u, 0u, 10u, 10u);
    ASSERT_HRESULT_SUCCEEDED(app::Application::instance().createFactories());
    auto *label =
        root.make<framework::text::Label>(L"Plain words", frameworktest::testFont(), framework::text::TextStyle{},
                                          app::Application::instance().dwriteFactory(), 0.0f, 0.0f);
    root.mouseMove(at(5, 5));
    root.mouseMove(at(6, 6));
    EXPECT_FALSE(sprite->hovered);
    EXPECT_FALSE(label->hovered);
    EXPECT_EQ(root.hoveredChild, nullptr);
    EXPECT_EQ(window.take(kMsgRedraw), 0);
}

TEST_F(ElementTree, HoverChangesOfLeavesAskForOneRedrawEach)
{
    root.make<Recorder>(journal, "a", 0, 0, 10, 10);
    root.mouseMove(at(5, 5));
    EXPECT_EQ(window.take(kMsgRedraw), 1);
    root.mouseMove(at(6, 6)); // still inside: forwarded, nothing changes
    EXPECT_EQ(window.take(kMsgRedraw), 0);
    root.mouseMove(at(50, 50));
    EXPECT_EQ(window.take(kMsgRedraw), 1);
    root.mouseMove(at(60, 60));
    EXPECT_EQ(window.take(kMsgRedraw), 0);
}

TEST_F(ElementTree, InvisibleElementsStillTakeInputAndCountForTheHitTest)
{
    auto *hidden = root.make<Recorder>(journal, "hidden", 0, 0, 10, 10);
    hidden->visible = false;
    root.mouseMove(at(5, 5));
    EXPECT_TRUE(hidden->hovered);
    EXPECT_TRUE(root.hitTest(5, 5));
    hidden->interactive = false;
    EXPECT_FALSE(root.hitTest(5, 5));
}

TEST_F(ElementTree, OverlappingHoverableChildrenAllEnterAndTheLaterOneIsRemembered)
{
    auto *under = root.make<Recorder>(journal, "under", 0, 0, 100, 100);
    auto *over = root.make<Recorder>(journal, "over", 50, 50, 100, 100);
    root.mouseMove(at(75, 75));
    EXPECT_TRUE(under->hovered);
    EXPECT_TRUE(over->hovered);
    EXPECT_EQ(root.hoveredChild, over);
    root.mouseMove(at(400, 400));
    EXPECT_EQ(journal, (std::vector<std::string>{"under:enter", "over:enter", "over:leave"}));
    EXPECT_TRUE(under->hovered); // nobody told it
}

TEST_F(ElementTree, NestedLayoutsReceiveMovesAndDoNotAskForTheirOwnRedraw)
{
    auto *nested = root.make<Layout>(200.0f, 200.0f, 0.0f, 0.0f, &window);
    auto *inner = nested->make<Recorder>(journal, "inner", 10, 10, 10, 10);
    root.mouseMove(at(100, 100)); // enters only the nested layout
    EXPECT_EQ(root.hoveredChild, nested);
    EXPECT_EQ(window.take(kMsgRedraw), 0);
    root.mouseMove(at(15, 15)); // forwarded: the leaf changes and asks once
    EXPECT_TRUE(inner->hovered);
    EXPECT_EQ(window.take(kMsgRedraw), 1);
    root.mouseDown(at(15, 15));
    EXPECT_TRUE(nested->pressed);
    EXPECT_TRUE(inner->pressed);
    root.mouseUp(at(15, 15));
    EXPECT_FALSE(nested->pressed);
    EXPECT_EQ(journal.back(), "inner:click");
    root.cancelHover();
    EXPECT_FALSE(inner->hovered);
    EXPECT_FALSE(nested->hovered);
    EXPECT_EQ(root.hoveredChild, nullptr);
}

TEST_F(ElementTree, MovingAViewMovesEveryDescendant)
{
    framework::views::View page(&window, 1);
    auto *nested = page.make<Layout>(100.0f, 100.0f, 10.0f, 10.0f, &window);
    auto *leaf = nested->make<Recorder>(journal, "leaf", 20, 30, 5, 5);
    auto *sibling = page.make<Recorder>(journal, "sibling", 0, 0, 5, 5);
    page.moveBy(3, -4);
    EXPECT_FLOAT_EQ(page.x, 3);
    EXPECT_FLOAT_EQ(nested->x, 13);
    EXPECT_FLOAT_EQ(nested->y, 6);
    EXPECT_FLOAT_EQ(leaf->x, 23);
    EXPECT_FLOAT_EQ(leaf->y, 26);
    EXPECT_FLOAT_EQ(sibling->y, -4);
}

TEST_F(ElementTree, AViewCoversTheWindowAndStartsInactive)
{
    framework::views::View page(&window, 3);
    EXPECT_FLOAT_EQ(page.width, 767);
    EXPECT_FLOAT_EQ(page.height, 444);
    EXPECT_FLOAT_EQ(page.x, 0);
    EXPECT_EQ(page.kind, framework::controls::kKindLayout);
    EXPECT_FALSE(page.active);
    page.show();
    EXPECT_TRUE(page.active);
    page.hide();
    EXPECT_FALSE(page.active);
}

TEST_F(ElementTree, TheSystemButtonsSitAtTheRightEdgeAndFollowIt)
{
    framework::views::NonClientAreaView overlay(&window, true);
    ASSERT_EQ(overlay.children.size(), 2u);
    EXPECT_EQ(overlay.id, 0);
    auto *minimise = dynamic_cast<framework::buttons::SystemButtonMinimize *>(overlay.children[0].get());
    auto *close = dynamic_cast<framework::buttons::SystemButtonClose *>(overlay.children[1].get());
    ASSERT_NE(minimise, nullptr);
    ASSERT_NE(close, nullptr);
    EXPECT_FLOAT_EQ(minimise->x, 767 - 66);
    EXPECT_FLOAT_EQ(minimise->y, 7);
    EXPECT_FLOAT_EQ(minimise->width, 26);
    EXPECT_FLOAT_EQ(close->x, 767 - 39);
    EXPECT_FLOAT_EQ(close->width, 27);
    EXPECT_EQ(close->kind, framework::controls::kKindSpriteButton);
    EXPECT_TRUE(close->interactive);
    window.take(kMsgRedraw);
    overlay.setSize(800, 500);
    EXPECT_FLOAT_EQ(minimise->x, 800 - 66);
    EXPECT_FLOAT_EQ(close->x, 800 - 39);
    EXPECT_FLOAT_EQ(close->y, 7);
    EXPECT_EQ(window.take(kMsgRedraw), 1);

    framework::views::NonClientAreaView boxOverlay(&window, false);
    ASSERT_EQ(boxOverlay.children.size(), 1u);
    EXPECT_NE(dynamic_cast<framework::buttons::SystemButtonClose *>(boxOverlay.children[0].get()), nullptr);
}

TEST_F(ElementTree, TheCloseButtonPostsCloseToItsWindow)
{
    framework::views::NonClientAreaView overlay(&window, false);
    overlay.mouseMove(at(767 - 30, 10));
    overlay.mouseDown(at(767 - 30, 10));
    overlay.mouseUp(at(767 - 30, 10));
    EXPECT_EQ(window.take(WM_CLOSE), 1);
}

// Records the drawing calls a container makes on it.
class DrawRecorder : public Item {
public:
    DrawRecorder(std::vector<std::string> &journal, const char *name, int32_t itemKind)
        : Item(kKindComposite, 1, 1, 0, 0), journal_(journal), name_(name)
    {
        kind = itemKind;
    }
    HRESULT drawComposite(ID2D1RenderTarget *, ID2D1SolidColorBrush *, ID2D1Bitmap *) override
    {
        journal_.push_back(name_);
        return S_OK;
    }

private:
    std::vector<std::string> &journal_;
    std::string name_;
};

TEST_F(ElementTree, ContainersDrawVisibleChildrenInOrderAndSkipUnknownKinds)
{
    root.make<DrawRecorder>(journal, "first", kKindComposite);
    root.make<DrawRecorder>(journal, "hidden", kKindComposite)->visible = false;
    root.make<DrawRecorder>(journal, "kind-10", 10);
    auto *nested = root.make<Layout>(10.0f, 10.0f, 0.0f, 0.0f, &window);
    nested->make<DrawRecorder>(journal, "nested", kKindComposite);
    root.make<DrawRecorder>(journal, "last", kKindComposite);
    EXPECT_EQ(root.drawComposite(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(journal, (std::vector<std::string>{"first", "nested", "last"}));
}

TEST(SpriteButtonFrames, TheFrameFollowsHoverAndPress)
{
    using framework::buttons::SpriteButton;
    SpriteButton button(26, 20, 0, 0, framework::buttons::kMinimizeFrames);
    const auto frameLeft = [&] {
        button.updateFrame();
        return std::pair{button.left, button.top};
    };
    EXPECT_EQ(frameLeft(), (std::pair{109u, 153u}));
    button.hovered = true;
    EXPECT_EQ(frameLeft(), (std::pair{436u, 153u}));
    button.pressed = true;
    EXPECT_EQ(frameLeft(), (std::pair{721u, 153u}));
    EXPECT_EQ(button.right, 721u + 26u);
    EXPECT_EQ(button.bottom, 153u + 20u);
    button.hovered = false; // pressed, then dragged off
    EXPECT_EQ(frameLeft(), (std::pair{109u, 153u}));
}

} // namespace

namespace {

using framework::controls::Bounds;

TEST(KeyboardFocus, ReadingOrderGoesByRowsThenLeftToRight)
{
    struct Case {
        const char *what;
        std::vector<Bounds> elements;
        std::vector<size_t> order;
    };
    const Case cases[] = {
        {"system buttons, a link, a large button, a link below it",
         {{343, 352, 80, 18}, {239, 280, 300, 60}, {728, 7, 27, 20}, {701, 7, 26, 20}, {400, 232, 120, 18}},
         {3, 2, 4, 1, 0}},
        // Back and START INSTALL share a row though their tops differ.
        {"two buttons of one row, created right first", {{458, 392, 160, 30}, {290, 390, 80, 34}}, {1, 0}},
        {"a field with its link, then two check boxes",
         {{91, 236, 200, 16}, {620, 165, 40, 16}, {91, 212, 200, 16}, {80, 158, 520, 30}},
         {3, 1, 2, 0}},
        {"nothing", {}, {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(framework::controls::readingOrder(c.elements), c.order) << c.what;
    }
}

TEST(KeyboardFocus, TabAndShiftTabWrapAroundAndStartAtAnEnd)
{
    using framework::controls::stepFocus;
    struct Case {
        size_t count;
        std::optional<size_t> current;
        bool backwards;
        std::optional<size_t> next;
    };
    const Case cases[] = {
        {3, std::nullopt, false, 0},
        {3, std::nullopt, true, 2},
        {3, 0, false, 1},
        {3, 2, false, 0},
        {3, 0, true, 2},
        {3, 1, true, 0},
        {3, 7, false, 0},
        {0, std::nullopt, false, std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(stepFocus(c.count, c.current, c.backwards), c.next)
            << c.count << " " << c.current.value_or(99) << " " << c.backwards;
    }
}

TEST(AccessibleFacts, StatesActionsAndNavigation)
{
    using framework::accessibility::msaaState;
    using framework::controls::AccessibleRole;
    EXPECT_EQ(msaaState({AccessibleRole::kPushButton, true, true, true, std::nullopt}),
              STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(msaaState({AccessibleRole::kPushButton, true, false, false, std::nullopt}), STATE_SYSTEM_UNAVAILABLE);
    EXPECT_EQ(msaaState({AccessibleRole::kCheckButton, true, true, false, true}),
              STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_CHECKED);
    EXPECT_EQ(msaaState({AccessibleRole::kLink, true, true, false, std::nullopt}),
              STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED);
    EXPECT_EQ(msaaState({AccessibleRole::kStaticText, false, false, false, std::nullopt}), STATE_SYSTEM_READONLY);
    // A paragraph that may carry a link, showing one without.
    EXPECT_EQ(msaaState({AccessibleRole::kStaticText, true, false, false, std::nullopt}), STATE_SYSTEM_READONLY);

    using framework::accessibility::defaultActionName;
    EXPECT_STREQ(defaultActionName(AccessibleRole::kCheckButton, true), L"Uncheck");
    EXPECT_STREQ(defaultActionName(AccessibleRole::kCheckButton, false), L"Check");
    EXPECT_STREQ(defaultActionName(AccessibleRole::kLink, std::nullopt), L"Jump");
    EXPECT_EQ(defaultActionName(AccessibleRole::kStaticText, std::nullopt), nullptr);

    using framework::accessibility::navigate;
    EXPECT_EQ(navigate(CHILDID_SELF, NAVDIR_FIRSTCHILD, 4), 1);
    EXPECT_EQ(navigate(CHILDID_SELF, NAVDIR_LASTCHILD, 4), 4);
    EXPECT_EQ(navigate(2, NAVDIR_NEXT, 4), 3);
    EXPECT_EQ(navigate(4, NAVDIR_NEXT, 4), std::nullopt);
    EXPECT_EQ(navigate(1, NAVDIR_PREVIOUS, 4), std::nullopt);
    EXPECT_EQ(navigate(3, NAVDIR_UP, 4), 2);
    EXPECT_EQ(navigate(2, NAVDIR_FIRSTCHILD, 4), std::nullopt);
    EXPECT_EQ(navigate(CHILDID_SELF, NAVDIR_FIRSTCHILD, 0), std::nullopt);
}

TEST(AccessibleFacts, LocationsAreWholeScreenPixelsAtEveryScale)
{
    const Item item(kKindComposite, 26.0f, 20.5f, 10.25f, 7.0f);
    using framework::accessibility::screenRect;
    const auto at96 = screenRect(item, 1.0f, 1.0f, POINT{100, 200});
    EXPECT_EQ(at96.left, 110);
    EXPECT_EQ(at96.top, 207);
    EXPECT_EQ(at96.width, 27);
    EXPECT_EQ(at96.height, 21);
    const auto at144 = screenRect(item, 1.5f, 1.5f, POINT{0, 0});
    EXPECT_EQ(at144.left, 15);
    EXPECT_EQ(at144.top, 10);
    EXPECT_EQ(at144.width, 55 - 15);
    EXPECT_EQ(at144.height, 42 - 10);
}

} // namespace
