// The component contract and the host's registry: registration, lookup with its reference rules and
// the null component, and broadcasts.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "host/host_registry.h"
#include "recording_component.h"

namespace velmora {
namespace {

using test::RecordingComponent;

TEST(ComponentTest, ConstructionRegistersUnderItsNameAndStartsInactiveWithoutReferences) {
    HostRegistry registry;
    RecordingComponent first("velmora", &registry);
    RecordingComponent same_name("velmora", &registry);
    RecordingComponent alone("alone", nullptr);

    EXPECT_TRUE(first.registered());
    EXPECT_FALSE(same_name.registered());
    EXPECT_FALSE(alone.registered());
    EXPECT_EQ(first.registry(), &registry);
    EXPECT_EQ(alone.registry(), nullptr);
    EXPECT_EQ(first.ref_count(), 0u);
    EXPECT_FALSE(first.active());
    // The name stays with the first holder.
    EXPECT_EQ(registry.lookup("velmora"), &first);
}

TEST(ComponentTest, EqualityIsByNameAndBaseOperationsAnswerZero) {
    RecordingComponent a("output", nullptr);
    RecordingComponent b("output", nullptr);
    RecordingComponent c("com connector", nullptr);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_TRUE(a != c);
    EXPECT_FALSE(a == c);
    EXPECT_EQ(a.request({13, 0, nullptr}), 0u);

    a.add_ref();
    a.add_ref();
    a.release();
    EXPECT_EQ(a.ref_count(), 1u);
}

TEST(ComponentTest, GuardHoldsTheLockForItsLifetime) {
    RecordingComponent item("item", nullptr);
    auto try_lock_elsewhere = [&item] {
        return std::async(std::launch::async,
                          [&item] {
                              std::unique_lock attempt(item, std::try_to_lock);
                              return attempt.owns_lock();
                          })
            .get();
    };
    {
        component::guard hold(item);
        EXPECT_FALSE(try_lock_elsewhere());
    }
    EXPECT_TRUE(try_lock_elsewhere());
}

TEST(HostRegistryTest, RegistrationAcceptsEachNameOnceAndOrdersByBytes) {
    struct Case {
        std::string name;
        bool accepted;
    };
    // Byte order: upper case before lower case, a prefix before its extensions, bytes above 0x7F
    // after ASCII (they are unsigned).
    const std::vector<Case> cases = {
        {"output", true},  {"com connector", true}, {"velmora", true},           {"Velmora", true},
        {"output", false}, {"out", true},           {"\xC3\xA9t\xC3\xA9", true}, {"", true},
        {"", false},       {"velmora", false},
    };
    HostRegistry registry;
    std::vector<std::unique_ptr<RecordingComponent>> holders;
    for (const Case& c : cases) {
        holders.push_back(std::make_unique<RecordingComponent>("holder", nullptr));
        EXPECT_EQ(registry.register_component(c.name, holders.back().get()), c.accepted)
            << "'" << c.name << "'";
    }
    const std::vector<std::string> expected = {"",       "Velmora", "com connector",    "out",
                                               "output", "velmora", "\xC3\xA9t\xC3\xA9"};
    EXPECT_EQ(registry.names(), expected);
    EXPECT_FALSE(registry.register_component("null", nullptr));
}

TEST(HostRegistryTest, LoggerWritesOneLinePerRegistration) {
    HostRegistry registry;
    std::vector<std::string> lines;
    registry.set_logger([&lines](const std::string& line) { lines.push_back(line); });
    RecordingComponent output("output", &registry);
    RecordingComponent duplicate("output", &registry);
    RecordingComponent agent("velmora", &registry);
    EXPECT_EQ(lines, (std::vector<std::string>{"component <output> registered\n",
                                               "component <velmora> registered\n"}));
}

TEST(HostRegistryTest, LookupOfAnUnknownNameGivesTheNullComponent) {
    HostRegistry registry;
    RecordingComponent output("output", &registry);
    for (const char* name : {"com connector", "Output", "output ", "null component", ""}) {
        component* found = registry.lookup(name);
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(found, &registry.null_component()) << name;
        EXPECT_EQ(found->name(), "null component");
        EXPECT_EQ(found->type_name(), "null");
        EXPECT_FALSE(found->is_shareable());
        EXPECT_EQ(found->request({15, 3, "abc"}), 0u);
        EXPECT_EQ(found->deliver({26, 3, "abc"}), 0u);
    }
    EXPECT_EQ(output.ref_count(), 0u);
}

TEST(HostRegistryTest, LookupCountsReferencesAndGivesAnUnshareableComponentToOneHolder) {
    HostRegistry registry;
    RecordingComponent shared("shared", &registry, true);
    RecordingComponent exclusive("exclusive", &registry, false);

    for (std::uint32_t expected = 1; expected <= 3; ++expected) {
        EXPECT_EQ(registry.lookup("shared"), &shared);
        EXPECT_EQ(shared.ref_count(), expected);
    }

    EXPECT_EQ(registry.lookup("exclusive"), &exclusive);
    EXPECT_EQ(exclusive.ref_count(), 1u);
    EXPECT_EQ(registry.lookup("exclusive"), &registry.null_component());
    EXPECT_EQ(exclusive.ref_count(), 1u);
    exclusive.release();
    EXPECT_EQ(registry.lookup("exclusive"), &exclusive);

    registry.unregister_component(&shared);
    EXPECT_EQ(registry.lookup("shared"), &registry.null_component());
}

class BroadcastTest : public ::testing::Test {
protected:
    // Registered out of name order, so the order of delivery can only come from the registry.
    HostRegistry registry;
    std::vector<std::string> order;
    RecordingComponent velmora{"velmora", &registry};
    RecordingComponent connector{"com connector", &registry};
    RecordingComponent output{"output", &registry};
    RecordingComponent idle{"idle", &registry};

    void SetUp() override {
        for (RecordingComponent* item : {&velmora, &connector, &output}) {
            item->set_active(true);
            item->on_deliver = [this, item](const component_msg&) { order.push_back(item->name()); };
        }
        idle.on_deliver = [this](const component_msg&) { order.push_back("idle"); };
    }
};

TEST_F(BroadcastTest, ReachesActiveComponentsInNameOrderExceptTheSender) {
    registry.broadcast(&connector, {26, 2, "hi"});
    EXPECT_EQ(order, (std::vector<std::string>{"output", "velmora"}));
    ASSERT_EQ(velmora.deliveries().size(), 1u);
    EXPECT_EQ(velmora.deliveries()[0].bytes, "hi");

    order.clear();
    registry.broadcast(nullptr, {27, 0, nullptr});
    EXPECT_EQ(order, (std::vector<std::string>{"com connector", "output", "velmora"}));
}

TEST_F(BroadcastTest, FollowsActiveFlagsAndTheRegistrySwitch) {
    output.set_active(false);
    registry.broadcast(&connector, {26, 1, "x"});
    EXPECT_EQ(order, (std::vector<std::string>{"velmora"}));

    order.clear();
    registry.set_broadcasting(false);
    registry.broadcast(&connector, {26, 1, "x"});
    EXPECT_TRUE(order.empty());

    registry.set_broadcasting(true);
    // A receiver that switches a later one off takes effect at once.
    connector.on_deliver = [this](const component_msg&) {
        order.push_back("com connector");
        velmora.set_active(false);
    };
    registry.broadcast(nullptr, {26, 1, "x"});
    EXPECT_EQ(order, (std::vector<std::string>{"com connector"}));
}

TEST_F(BroadcastTest, ReceiverMayUseTheRegistryFromInsideDeliver) {
    // The plug-in answers the box from inside deliver: lookup, request, even register, with no deadlock.
    std::unique_ptr<RecordingComponent> late;
    velmora.on_deliver = [this, &late](const component_msg&) {
        registry.lookup("com connector")->request({15, 1, "\x60"});
        late = std::make_unique<RecordingComponent>("late", &registry);
    };
    auto done = std::async(std::launch::async, [this] { registry.broadcast(&connector, {26, 1, "\xA5"}); });
    ASSERT_EQ(done.wait_for(test::k_wait), std::future_status::ready);
    ASSERT_TRUE(late);
    EXPECT_TRUE(late->registered());
}

}  // namespace
}  // namespace velmora
