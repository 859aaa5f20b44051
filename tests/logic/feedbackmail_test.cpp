// The feedback mail's fields from the comment and the uninstall entry's values.
#include <gtest/gtest.h>

#include "setup/uninstall/feedbackmail.h"

TEST(FeedbackMail, TheEntrysValuesNameReceiverHostSenderAndSubject) {
    const FEEDBACKMAIL mail =
        MakeFeedbackMail("Too slow", "2.4", "uninstall@demopad.example;127.0.0.1:2525", "DemoPad");
    EXPECT_TRUE(mail.Usable);
    EXPECT_EQ("uninstall@demopad.example", mail.Receiver);
    EXPECT_EQ("127.0.0.1:2525", mail.SmtpHost);
    EXPECT_EQ("anonymous@demopad.example", mail.Sender);
    EXPECT_EQ("DemoPad V2.4 uninstall", mail.Subject);
    EXPECT_EQ("Too slow", mail.Body);
}

TEST(FeedbackMail, MissingValuesTakeTheDefaults) {
    const FEEDBACKMAIL mail = MakeFeedbackMail(STRING(), STRING(), STRING(""), "Demo");
    EXPECT_EQ("Demo V0.00 uninstall", mail.Subject);
    EXPECT_EQ("feedback@orvik.example", mail.Receiver);
    EXPECT_EQ("mail.orvik.example", mail.SmtpHost);
    EXPECT_EQ("anonymous@orvik.example", mail.Sender);
    EXPECT_TRUE(mail.Body.NotNull());
    EXPECT_EQ("", mail.Body);
    EXPECT_TRUE(mail.Usable);

    // An empty value as the registry gives it back: one zero byte.
    const STRING emptyvalue(BINARY("", 1));
    EXPECT_EQ("Demo V0.00 uninstall", MakeFeedbackMail("x", emptyvalue, emptyvalue, "Demo").Subject);
    EXPECT_EQ("feedback@orvik.example", MakeFeedbackMail("x", emptyvalue, emptyvalue, "Demo").Receiver);
}

TEST(FeedbackMail, AnEntryWithoutAReceiverOrAHostNameIsNotUsable) {
    EXPECT_FALSE(MakeFeedbackMail("x", "1", "feedback@orvik.example", "A").Usable) << "no host";
    EXPECT_FALSE(MakeFeedbackMail("x", "1", "feedback.orvik.example;mail.orvik.example", "A").Usable)
        << "no @";
    EXPECT_FALSE(MakeFeedbackMail("x", "1", "feedback@orvik.example;localhost", "A").Usable)
        << "no . in the host";
    EXPECT_FALSE(MakeFeedbackMail("x", "1", ";mail.orvik.example", "A").Usable);
}
